#include "forms/ImageEditForm.h"

#include "platform/controls/Controls.h"
#include "platform/win/Dialog.h"
#include "ui/ListViewPostItem.h"

#include <algorithm>
#include <climits>

using Quendal::UI::CPaintEventArgs;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kMinWidth = 707;
constexpr int kMinHeight = 500;
constexpr int kEdge = 3;
constexpr int kCorner = 10;

enum Format
{
    formatNone = 0,
    formatJpg = 1,
    formatPng = 2,
    formatBmp = 3,
};

} // namespace

void ImageEditForm::Form::OnPaint(CPaintEventArgs& e)
{
    ExtForm::OnPaint(e);
    ControlBase::OnPaint(e);
}

ImageEditForm::ImageEditForm(ListViewPostItem& item) : item_(item) {}

ImageEditForm::~ImageEditForm()
{
    disconnect_all();
}

INT_PTR ImageEditForm::DoModal(HWND owner)
{
    item_.lock.Lock();
    const bool ready = item_.image != nullptr;
    item_.lock.Unlock();
    if (!ready)
        return -1;
    // The window opens centred on the work area and never larger than it.
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int w = std::min<int>(kWidth, area.right - area.left);
    const int h = std::min<int>(kHeight, area.bottom - area.top);
    pictavo::platform::DialogTemplate tmpl;
    tmpl.style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    tmpl.caption = u"编辑图片";
    tmpl.x = area.left + (area.right - area.left - w) / 2;
    tmpl.y = area.top + (area.bottom - area.top - h) / 2;
    tmpl.width = w;
    tmpl.height = h;
    const INT_PTR result =
        DialogBoxIndirectParamW(nullptr, &tmpl, owner, &ImageEditForm::DialogProc, reinterpret_cast<LPARAM>(this));
    dialog_ = nullptr;
    return result < 0 ? result : 0;
}

INT_PTR ImageEditForm::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ImageEditForm*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->OnInitDialog(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<ImageEditForm*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self)
        return FALSE;
    if (message == WM_COMMAND && lParam == 0) {
        // Escape cancels; Enter is not taken as "确定", which would close the window while a
        // size is being typed.
        if (LOWORD(wParam) == IDCANCEL)
            self->OnCancel();
        return TRUE;
    }
    if (message == WM_NCDESTROY || message == WM_ACTIVATE)
        return FALSE;
    LRESULT result = 0;
    if (!self->EdgeMessage(dialog, message, wParam, lParam, result) &&
        !self->form_.ProcessWindowMessage(dialog, message, wParam, lParam, result))
        return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

BOOL ImageEditForm::EdgeMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_NCHITTEST: {
        if (!form_.resizable)
            return FALSE;
        RECT w{};
        GetWindowRect(dialog, &w);
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (p.x < w.left || p.x >= w.right || p.y < w.top || p.y >= w.bottom)
            return FALSE;
        if (p.x < w.left + kEdge)
            result = HTLEFT;
        else if (p.x >= w.right - kEdge)
            result = HTRIGHT;
        else if (p.y < w.top + kEdge)
            result = HTTOP;
        else if (p.y >= w.bottom - kEdge)
            result = HTBOTTOM;
        else {
            const bool left = p.x < w.left + kCorner, right = p.x >= w.right - kCorner;
            const bool top = p.y < w.top + kCorner, bottom = p.y >= w.bottom - kCorner;
            if (top && left)
                result = HTTOPLEFT;
            else if (top && right)
                result = HTTOPRIGHT;
            else if (bottom && left)
                result = HTBOTTOMLEFT;
            else if (bottom && right)
                result = HTBOTTOMRIGHT;
            else
                result = HTCLIENT;
        }
        return TRUE;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) != dialog)
            return FALSE;
        form_.CursorForHitTest(static_cast<SHORT>(LOWORD(lParam)));
        result = TRUE;
        return TRUE;
    case WM_NCLBUTTONDOWN:
        if (wParam < HTLEFT || wParam > HTBOTTOMRIGHT || !form_.resizable)
            return FALSE;
        // HTLEFT .. HTBOTTOMRIGHT run in the same order as the sizing edges 1 .. 8.
        SendMessageW(dialog, WM_SYSCOMMAND, SC_SIZE + (wParam - HTLEFT + 1), lParam);
        result = 0;
        return TRUE;
    case WM_SIZING: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        const bool movesLeft = wParam == WMSZ_LEFT || wParam == WMSZ_TOPLEFT || wParam == WMSZ_BOTTOMLEFT;
        const bool movesTop = wParam == WMSZ_TOP || wParam == WMSZ_TOPLEFT || wParam == WMSZ_TOPRIGHT;
        if (r->right - r->left < kMinWidth) {
            if (movesLeft)
                r->left = r->right - kMinWidth;
            else
                r->right = r->left + kMinWidth;
        }
        if (r->bottom - r->top < kMinHeight) {
            if (movesTop)
                r->top = r->bottom - kMinHeight;
            else
                r->bottom = r->top + kMinHeight;
        }
        result = TRUE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void ImageEditForm::OnInitDialog(HWND dialog)
{
    dialog_ = dialog;
    form_.SetCaption(u"编辑图片");
    form_.SetIconName("IcoEdit");
    SetWindowTextW(dialog, form_.caption.c_str());
    RECT client{};
    GetClientRect(dialog, &client);
    form_.AttachWindow(dialog, client);

    canvas_.element.SetAnchor(ControlBase::Top | ControlBase::Bottom | ControlBase::Left | ControlBase::Right);
    canvas_.element.SetMargins(79, 52, 7, 33);
    canvas_.element.Attach(form_);
    canvas_.pictureSizeChanged.connect(this, &ImageEditForm::RefreshSizeBoxes);

    Build();
    ShowPage("size");
    // Laid out first, so the picture is fitted to the canvas as it is loaded: a picture larger
    // than the canvas opens already reduced.
    LRESULT ignored = 0;
    form_.ProcessWindowMessage(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), ignored);
    // Only the copy is made under the tile's lock: setting the picture emits signals.
    item_.lock.Lock();
    std::unique_ptr<CxImage> picture = ImageEditor::Capture(item_.image);
    item_.lock.Unlock();
    const bool loaded = canvas_.SetPicture(std::move(picture), true);
    RefreshSizeBoxes();
    if (!loaded)
        EndDialog(dialog, -1);
}

ImageEditForm::Button& ImageEditForm::AddButton(Button& button, const std::u16string& text, int left, int top,
                                                int width, int height)
{
    button.Create(form_, text);
    button.SetSize(width, height);
    button.SetMargins(left, top, 0, 0);
    return button;
}

Label& ImageEditForm::AddLabel(Label& label, const std::u16string& text, int left, int top)
{
    label.Create(form_, text);
    label.SetMargins(left, top, 0, 0);
    return label;
}

void ImageEditForm::PlaceWindowed(WindowedElement& element, int left, int top, int width, int height)
{
    element.Attach(form_);
    element.SetMargins(left, top, 0, 0);
    element.SetSize(width, height);
}

void ImageEditForm::Build()
{
    using Anchor = ControlBase::Anchor;
    maximise_.Create(form_, u"");
    maximise_.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Normal");
    maximise_.SetSize(15, 15);
    maximise_.SetAnchor(Anchor::Top | Anchor::Right);
    maximise_.SetMargins(0, 5, 23, 0);
    maximise_.clicked.connect(this, &ImageEditForm::OnMaximise);
    close_.Create(form_, u"");
    close_.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "BtnCloseNormal");
    close_.SetSize(15, 15);
    close_.SetAnchor(Anchor::Top | Anchor::Right);
    close_.SetMargins(0, 5, 6, 0);
    close_.clicked.connect(this, &ImageEditForm::OnCancel);

    AddButton(tabSize_, u"调整尺寸", 7, 52).clicked.connect(this, &ImageEditForm::OnSizePage);
    AddButton(tabLight_, u"调整亮度", 7, 79).clicked.connect(this, &ImageEditForm::OnLightPage);
    AddButton(tabSaturate_, u"饱和度", 7, 106).clicked.connect(this, &ImageEditForm::OnSaturatePage);
    AddButton(tabRotation_, u"旋转图片", 7, 133).clicked.connect(this, &ImageEditForm::OnRotationPage);
    AddButton(tabQuality_, u"质量优化", 7, 160).clicked.connect(this, &ImageEditForm::OnQualityPage);
    AddButton(tabUndo_, u"撤消编辑", 7, 187).clicked.connect(this, &ImageEditForm::OnUndo);

    for (Button* b : {&ok_, &cancel_}) {
        AddButton(*b, b == &ok_ ? u"确定" : u"取消", 0, 0);
        b->SetAnchor(Anchor::Bottom | Anchor::Right);
        b->SetMargins(0, 0, b == &ok_ ? 85 : 7, 4);
    }
    ok_.clicked.connect(this, &ImageEditForm::OnOk);
    cancel_.clicked.connect(this, &ImageEditForm::OnCancel);

    // Size page.
    const SIZE picture = canvas_.PictureSize();
    AddLabel(widthLabel_, u"宽度：", 77, 32);
    PlaceWindowed(widthBox_.element, 114, 30, 36, 18);
    widthBox_.SetValue(picture.cx);
    AddLabel(heightLabel_, u"高度：", 156, 32);
    PlaceWindowed(heightBox_.element, 192, 30, 36, 18);
    heightBox_.SetValue(picture.cy);
    keepRatio_.Create(form_, u"约束比例");
    keepRatio_.SetMargins(244, 31, 0, 0);
    keepRatio_.SetChecked(TRUE);
    AddButton(resize_, u"调整尺寸", 322, 26).clicked.connect(this, &ImageEditForm::OnResize);
    AddButton(actualPixels_, u"实际像素", 404, 26).clicked.connect(this, &ImageEditForm::OnActualPixels);
    AddButton(fit_, u"适合尺寸", 486, 26).clicked.connect(this, &ImageEditForm::OnFit);
    AddButton(crop_, u"裁剪图片", 568, 26).clicked.connect(this, &ImageEditForm::OnCrop);
    widthBox_.textChanged.connect(this, &ImageEditForm::UpdateResizeButton);
    heightBox_.textChanged.connect(this, &ImageEditForm::UpdateResizeButton);
    pages_["size"] = {&widthLabel_, &widthBox_.element, &heightLabel_, &heightBox_.element, &keepRatio_,
                      &resize_,     &actualPixels_,     &fit_,         &crop_};

    // Light page.
    AddLabel(brightnessLabel_, u"亮度：", 73, 31);
    PlaceWindowed(brightness_.element, 119, 31, 122, 15);
    brightness_.SetRange(-255, 255);
    brightness_.SetValue(0);
    PlaceWindowed(brightnessBox_.element, 242, 30, 36, 18);
    brightnessBox_.SetValue(0);
    AddLabel(contrastLabel_, u"对比度：", 283, 31);
    PlaceWindowed(contrast_.element, 334, 31, 122, 15);
    contrast_.SetRange(-100, 100);
    contrast_.SetValue(0);
    PlaceWindowed(contrastBox_.element, 461, 30, 36, 18);
    contrastBox_.SetValue(0);
    brightness_.valueChanged.connect(this, &ImageEditForm::OnBrightness);
    contrast_.valueChanged.connect(this, &ImageEditForm::OnContrast);
    pages_["light"] = {&brightnessLabel_, &brightness_.element, &brightnessBox_.element,
                       &contrastLabel_,   &contrast_.element,   &contrastBox_.element};

    // Saturation page: the slider starts at no change.
    AddLabel(saturationLabel_, u"饱和度：", 77, 33);
    PlaceWindowed(saturation_.element, 131, 31, 122, 15);
    saturation_.SetRange(-100, 100);
    saturation_.SetValue(0);
    PlaceWindowed(saturationBox_.element, 254, 30, 36, 18);
    saturationBox_.SetValue(0);
    AddButton(saturate_, u"调整", 297, 26).clicked.connect(this, &ImageEditForm::OnSaturate);
    saturation_.valueChanged.connect(this, &ImageEditForm::OnSaturation);
    pages_["saturate"] = {&saturationLabel_, &saturation_.element, &saturationBox_.element, &saturate_};

    // Rotation page.
    AddButton(rotateLeft_, u"左旋", 71, 26).clicked.connect(this, &ImageEditForm::OnRotateLeft);
    AddButton(rotateRight_, u"右旋", 150, 26).clicked.connect(this, &ImageEditForm::OnRotateRight);
    pages_["rotation"] = {&rotateLeft_, &rotateRight_};

    // Quality page.
    PlaceWindowed(format_.element, 71, 29, 90, 80);
    for (const char16_t* text : {u"请选择", u"JPG", u"PNG", u"BMP"})
        SendMessageW(format_.m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(format_.m_hWnd, CB_SETCURSEL, formatNone, 0);
    format_.selectionChanged.connect(this, &ImageEditForm::OnQualityChoice);
    AddLabel(qualityLabel_, u"图片质量：", 175, 32);
    PlaceWindowed(quality_.element, 248, 31, 122, 15);
    quality_.SetRange(0, 100);
    quality_.SetValue(100);
    PlaceWindowed(qualityBox_.element, 374, 29, 36, 18);
    qualityBox_.SetValue(100);
    quality_.valueChanged.connect(this, &ImageEditForm::OnQualityValue);
    AddButton(applyQuality_, u"应用", 413, 26).clicked.connect(this, &ImageEditForm::OnApplyQuality);
    pages_["quality"] = {&format_.element, &qualityLabel_, &quality_.element, &qualityBox_.element, &applyQuality_};
}

void ImageEditForm::ShowPage(const std::string& page)
{
    page_ = page;
    for (auto& [key, controls] : pages_)
        for (ControlBase* c : controls)
            c->SetVisible(key == page);
    if (page == "quality")
        ApplyQualityRule();
    // Labels and buttons of the page strip are drawn by the form.
    RECT strip{0, 20, form_.bounds.right, 52};
    InvalidateRect(dialog_, &strip, FALSE);
}

void ImageEditForm::ApplyQualityRule()
{
    if (page_ != "quality")
        return;
    const int choice = static_cast<int>(SendMessageW(format_.m_hWnd, CB_GETCURSEL, 0, 0));
    applyQuality_.SetVisible(choice > formatNone);
    quality_.element.SetVisible(choice == formatJpg);
    qualityBox_.element.SetVisible(choice == formatJpg);
}

// Digits with an optional minus (what the value boxes show); a number too long for an int
// is the largest of its sign.
int ImageEditForm::ReadNumber(HWND box)
{
    if (!box)
        return 0;
    const int n = GetWindowTextLengthW(box);
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    GetWindowTextW(box, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(0, n)));
    const bool negative = !text.empty() && text[0] == u'-';
    long long value = 0;
    for (size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < u'0' || c > u'9')
            return 0;
        value = std::min<long long>(INT_MAX, value * 10 + (c - u'0'));
    }
    return static_cast<int>(negative ? -value : value);
}

void ImageEditForm::RefreshSizeBoxes()
{
    if (!widthBox_.m_hWnd)
        return;
    const SIZE s = canvas_.PictureSize();
    widthBox_.SetValue(s.cx);
    heightBox_.SetValue(s.cy);
    UpdateResizeButton();
}

void ImageEditForm::UpdateResizeButton()
{
    const int w = ReadNumber(widthBox_.m_hWnd), h = ReadNumber(heightBox_.m_hWnd);
    const SIZE s = canvas_.PictureSize();
    // An empty box is no size to resize to.
    const bool differs = w > 0 && h > 0 && (w != s.cx || h != s.cy);
    if (resize_.disabled == static_cast<BOOL>(differs))
        resize_.SetDisabled(!differs);
}

void ImageEditForm::OnUndo()
{
    canvas_.Undo();
    resized = false;
    qualityApplied = false;
}

void ImageEditForm::OnResize()
{
    canvas_.Resize(ReadNumber(widthBox_.m_hWnd), ReadNumber(heightBox_.m_hWnd), keepRatio_.IsChecked());
    resized = true;
}

void ImageEditForm::OnActualPixels()
{
    canvas_.ShowActualPixels();
}

void ImageEditForm::OnFit()
{
    canvas_.FitToView();
}

void ImageEditForm::OnCrop()
{
    canvas_.Crop();
}

void ImageEditForm::OnBrightness(int value)
{
    canvas_.SetBrightness(value);
    brightnessBox_.SetValue(value);
}

void ImageEditForm::OnContrast(int value)
{
    canvas_.SetContrast(value);
    contrastBox_.SetValue(value);
}

void ImageEditForm::OnSaturation(int value)
{
    saturationBox_.SetValue(value);
}

void ImageEditForm::OnSaturate()
{
    canvas_.ApplySaturation(std::clamp(ReadNumber(saturationBox_.m_hWnd), -100, 100));
}

void ImageEditForm::OnRotateLeft()
{
    canvas_.RotateLeft();
}

void ImageEditForm::OnRotateRight()
{
    canvas_.RotateRight();
}

void ImageEditForm::OnQualityChoice(int)
{
    ApplyQualityRule();
}

void ImageEditForm::OnQualityValue(int value)
{
    qualityBox_.SetValue(value);
}

// Recorded only: the page's settings decide the upload's format and quality.
void ImageEditForm::OnApplyQuality()
{
    chosenFormat = static_cast<int>(SendMessageW(format_.m_hWnd, CB_GETCURSEL, 0, 0));
    chosenQuality = quality_.GetValue();
    qualityApplied = true;
}

void ImageEditForm::OnOk()
{
    // The tile takes the new bitmap in place of its old one; an upload reading the old one keeps it.
    if (GpBitmap* edited = canvas_.WorkingBitmap())
        item_.TakeImage(edited);
    if (dialog_)
        EndDialog(dialog_, 0);
}

void ImageEditForm::OnCancel()
{
    if (dialog_)
        EndDialog(dialog_, 0);
}

void ImageEditForm::OnMaximise()
{
    form_.ToggleMaximise();
    if (form_.maximised)
        maximise_.SetImages("BtnRestore-Normal", "BtnRestore-Hover", "BtnRestore-Hover", "BtnRestore-Normal");
    else
        maximise_.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Normal");
    maximise_.Invalidate();
}
