#pragma once

#include "ui/ListViewItem.h"

// A tile of the picture chooser; status is its check mark.
class ListViewSelectItem : public ListViewItem
{
public:
    using ListViewItem::ListViewItem;

    void Draw(Quendal::UI::CPaintEventArgs& e, const RECT& r) override;
    void Select(POINT point) override;
    void OnLButtonDown(POINT point) override;
    void SizeForTotal(int64_t& out) override;
    std::u16string KindName() const override { return u"ListViewSelectItem"; }
    void Describe(pictavo::platform::AutomationNode& node) override;
};
