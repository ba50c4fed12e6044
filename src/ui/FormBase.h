#pragma once

#include "ui/ControlBase.h"
#include "ui/FormDrager.h"
#include "ui/MessageMap.h"

// The root of a window's element tree: double-buffered painting, mouse routing with capture,
// dragging the window by any spot no element claims, maximise and restore.
class FormBase : public MessageMap, public ControlBase
{
public:
    FormBase() = default;
    ~FormBase() override;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                              DWORD mapId = 0) override;
    virtual void AttachWindow(HWND window, int x, int y, int w, int h);
    virtual void AttachWindow(HWND window, const RECT& placement);

    void ToggleMaximise();
    void CursorForHitTest(int hitTest);

    std::u16string ElementClass() const override { return u"Form"; }
    // The element with this native window of its own, if the tree has one.
    ControlBase* FindWindowedElement(HWND child);

    BOOL trackingLeave = FALSE;
    BOOL resizable = TRUE;
    BOOL draggable = TRUE;
    BOOL maximised = FALSE;
    HBITMAP backBuffer = nullptr;
    FormDrager dragger;
    ControlBase* captured = nullptr;

protected:
    void Paint(HWND window);
    void DescribeTree(ControlBase& element, pictavo::platform::AutomationNode& node);
    BOOL Reflect(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};
