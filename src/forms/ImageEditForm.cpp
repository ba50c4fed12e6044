#include "forms/ImageEditForm.h"

#include "forms/DialogObject.h"
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

ImageEditForm::ImageEditForm(ListViewPostItem& item) : m_item(item) {}

ImageEditForm::~ImageEditForm()
{
    disconnect_all();
}

INT_PTR ImageEditForm::DoModal(HWND owner)
{
    m_item.lock.Lock();
    const bool ready = m_item.image != nullptr;
    m_item.lock.Unlock();
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
    m_dialog = nullptr;
    return result < 0 ? result : 0;
}

INT_PTR ImageEditForm::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = DialogObject<ImageEditForm>(dialog, message, lParam);
    if (!self)
        return FALSE;
    if (message == WM_INITDIALOG) {
        self->OnInitDialog(dialog);
        return TRUE;
    }
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
        !self->m_form.ProcessWindowMessage(dialog, message, wParam, lParam, result))
        return FALSE;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

BOOL ImageEditForm::EdgeMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_NCHITTEST: {
        if (!m_form.resizable)
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
        m_form.CursorForHitTest(static_cast<SHORT>(LOWORD(lParam)));
        result = TRUE;
        return TRUE;
    case WM_NCLBUTTONDOWN:
        if (wParam < HTLEFT || wParam > HTBOTTOMRIGHT || !m_form.resizable)
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
    m_dialog = dialog;
    m_form.SetCaption(u"编辑图片");
    m_form.SetIconName("IcoEdit");
    SetWindowTextW(dialog, m_form.caption.c_str());
    RECT client{};
    GetClientRect(dialog, &client);
    m_form.AttachWindow(dialog, client);

    m_canvas.element.SetAnchor(ControlBase::Top | ControlBase::Bottom | ControlBase::Left | ControlBase::Right);
    m_canvas.element.SetMargins(79, 52, 7, 33);
    m_canvas.element.Attach(m_form);
    m_canvas.pictureSizeChanged.connect(this, &ImageEditForm::RefreshSizeBoxes);

    Build();
    ShowPage("size");
    // Laid out first, so the picture is fitted to the canvas as it is loaded: a picture larger
    // than the canvas opens already reduced.
    LRESULT ignored = 0;
    m_form.ProcessWindowMessage(dialog, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), ignored);
    // Only the copy is made under the tile's lock: setting the picture emits signals.
    m_item.lock.Lock();
    std::unique_ptr<CxImage> picture = ImageEditor::Capture(m_item.image);
    m_item.lock.Unlock();
    const bool loaded = m_canvas.SetPicture(std::move(picture), true);
    RefreshSizeBoxes();
    if (!loaded)
        EndDialog(dialog, -1);
}

ImageEditForm::Button& ImageEditForm::AddButton(Button& button, const std::u16string& text, int left, int top,
                                                int width, int height)
{
    button.Create(m_form, text);
    button.SetSize(width, height);
    button.SetMargins(left, top, 0, 0);
    return button;
}

Label& ImageEditForm::AddLabel(Label& label, const std::u16string& text, int left, int top)
{
    label.Create(m_form, text);
    label.SetMargins(left, top, 0, 0);
    return label;
}

void ImageEditForm::PlaceWindowed(WindowedElement& element, int left, int top, int width, int height)
{
    element.Attach(m_form);
    element.SetMargins(left, top, 0, 0);
    element.SetSize(width, height);
}

void ImageEditForm::Build()
{
    using Anchor = ControlBase::Anchor;
    m_maximise.Create(m_form, u"");
    m_maximise.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Normal");
    m_maximise.SetSize(15, 15);
    m_maximise.SetAnchor(Anchor::Top | Anchor::Right);
    m_maximise.SetMargins(0, 5, 23, 0);
    m_maximise.clicked.connect(this, &ImageEditForm::OnMaximise);
    m_close.Create(m_form, u"");
    m_close.SetImages("BtnCloseNormal", "BtnCloseHover", "BtnCloseHover", "BtnCloseNormal");
    m_close.SetSize(15, 15);
    m_close.SetAnchor(Anchor::Top | Anchor::Right);
    m_close.SetMargins(0, 5, 6, 0);
    m_close.clicked.connect(this, &ImageEditForm::OnCancel);

    AddButton(m_tabSize, u"调整尺寸", 7, 52).clicked.connect(this, &ImageEditForm::OnSizePage);
    AddButton(m_tabLight, u"调整亮度", 7, 79).clicked.connect(this, &ImageEditForm::OnLightPage);
    AddButton(m_tabSaturate, u"饱和度", 7, 106).clicked.connect(this, &ImageEditForm::OnSaturatePage);
    AddButton(m_tabRotation, u"旋转图片", 7, 133).clicked.connect(this, &ImageEditForm::OnRotationPage);
    AddButton(m_tabQuality, u"质量优化", 7, 160).clicked.connect(this, &ImageEditForm::OnQualityPage);
    AddButton(m_tabUndo, u"撤消编辑", 7, 187).clicked.connect(this, &ImageEditForm::OnUndo);

    for (Button* b : {&m_ok, &m_cancel}) {
        AddButton(*b, b == &m_ok ? u"确定" : u"取消", 0, 0);
        b->SetAnchor(Anchor::Bottom | Anchor::Right);
        b->SetMargins(0, 0, b == &m_ok ? 85 : 7, 4);
    }
    m_ok.clicked.connect(this, &ImageEditForm::OnOk);
    m_cancel.clicked.connect(this, &ImageEditForm::OnCancel);

    // Size page.
    const SIZE picture = m_canvas.PictureSize();
    AddLabel(m_widthLabel, u"宽度：", 77, 32);
    PlaceWindowed(m_widthBox.element, 114, 30, 36, 18);
    m_widthBox.SetValue(picture.cx);
    AddLabel(m_heightLabel, u"高度：", 156, 32);
    PlaceWindowed(m_heightBox.element, 192, 30, 36, 18);
    m_heightBox.SetValue(picture.cy);
    m_keepRatio.Create(m_form, u"约束比例");
    m_keepRatio.SetMargins(244, 31, 0, 0);
    m_keepRatio.SetChecked(TRUE);
    AddButton(m_resize, u"调整尺寸", 322, 26).clicked.connect(this, &ImageEditForm::OnResize);
    AddButton(m_actualPixels, u"实际像素", 404, 26).clicked.connect(this, &ImageEditForm::OnActualPixels);
    AddButton(m_fit, u"适合尺寸", 486, 26).clicked.connect(this, &ImageEditForm::OnFit);
    AddButton(m_crop, u"裁剪图片", 568, 26).clicked.connect(this, &ImageEditForm::OnCrop);
    m_widthBox.textChanged.connect(this, &ImageEditForm::UpdateResizeButton);
    m_heightBox.textChanged.connect(this, &ImageEditForm::UpdateResizeButton);
    m_pages["size"] = {&m_widthLabel, &m_widthBox.element, &m_heightLabel, &m_heightBox.element, &m_keepRatio,
                      &m_resize,     &m_actualPixels,     &m_fit,         &m_crop};

    // Light page.
    AddLabel(m_brightnessLabel, u"亮度：", 73, 31);
    PlaceWindowed(m_brightness.element, 119, 31, 122, 15);
    m_brightness.SetRange(-255, 255);
    m_brightness.SetValue(0);
    PlaceWindowed(m_brightnessBox.element, 242, 30, 36, 18);
    m_brightnessBox.SetValue(0);
    AddLabel(m_contrastLabel, u"对比度：", 283, 31);
    PlaceWindowed(m_contrast.element, 334, 31, 122, 15);
    m_contrast.SetRange(-100, 100);
    m_contrast.SetValue(0);
    PlaceWindowed(m_contrastBox.element, 461, 30, 36, 18);
    m_contrastBox.SetValue(0);
    m_brightness.valueChanged.connect(this, &ImageEditForm::OnBrightness);
    m_contrast.valueChanged.connect(this, &ImageEditForm::OnContrast);
    m_pages["light"] = {&m_brightnessLabel, &m_brightness.element, &m_brightnessBox.element,
                       &m_contrastLabel,   &m_contrast.element,   &m_contrastBox.element};

    // Saturation page: the slider starts at no change.
    AddLabel(m_saturationLabel, u"饱和度：", 77, 33);
    PlaceWindowed(m_saturation.element, 131, 31, 122, 15);
    m_saturation.SetRange(-100, 100);
    m_saturation.SetValue(0);
    PlaceWindowed(m_saturationBox.element, 254, 30, 36, 18);
    m_saturationBox.SetValue(0);
    AddButton(m_saturate, u"调整", 297, 26).clicked.connect(this, &ImageEditForm::OnSaturate);
    m_saturation.valueChanged.connect(this, &ImageEditForm::OnSaturation);
    m_pages["saturate"] = {&m_saturationLabel, &m_saturation.element, &m_saturationBox.element, &m_saturate};

    // Rotation page.
    AddButton(m_rotateLeft, u"左旋", 71, 26).clicked.connect(this, &ImageEditForm::OnRotateLeft);
    AddButton(m_rotateRight, u"右旋", 150, 26).clicked.connect(this, &ImageEditForm::OnRotateRight);
    m_pages["rotation"] = {&m_rotateLeft, &m_rotateRight};

    // Quality page.
    PlaceWindowed(m_format.element, 71, 29, 90, 80);
    for (const char16_t* text : {u"请选择", u"JPG", u"PNG", u"BMP"})
        SendMessageW(m_format.m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(m_format.m_hWnd, CB_SETCURSEL, formatNone, 0);
    m_format.selectionChanged.connect(this, &ImageEditForm::OnQualityChoice);
    AddLabel(m_qualityLabel, u"图片质量：", 175, 32);
    PlaceWindowed(m_quality.element, 248, 31, 122, 15);
    m_quality.SetRange(0, 100);
    m_quality.SetValue(100);
    PlaceWindowed(m_qualityBox.element, 374, 29, 36, 18);
    m_qualityBox.SetValue(100);
    m_quality.valueChanged.connect(this, &ImageEditForm::OnQualityValue);
    AddButton(m_applyQuality, u"应用", 413, 26).clicked.connect(this, &ImageEditForm::OnApplyQuality);
    m_pages["quality"] = {&m_format.element, &m_qualityLabel, &m_quality.element, &m_qualityBox.element, &m_applyQuality};
}

void ImageEditForm::ShowPage(const std::string& page)
{
    m_page = page;
    for (auto& [key, controls] : m_pages)
        for (ControlBase* c : controls)
            c->SetVisible(key == page);
    if (page == "quality")
        ApplyQualityRule();
    // Labels and buttons of the page strip are drawn by the form.
    RECT strip{0, 20, m_form.bounds.right, 52};
    InvalidateRect(m_dialog, &strip, FALSE);
}

void ImageEditForm::ApplyQualityRule()
{
    if (m_page != "quality")
        return;
    const int choice = static_cast<int>(SendMessageW(m_format.m_hWnd, CB_GETCURSEL, 0, 0));
    m_applyQuality.SetVisible(choice > formatNone);
    m_quality.element.SetVisible(choice == formatJpg);
    m_qualityBox.element.SetVisible(choice == formatJpg);
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
    if (!m_widthBox.m_hWnd)
        return;
    const SIZE s = m_canvas.PictureSize();
    m_widthBox.SetValue(s.cx);
    m_heightBox.SetValue(s.cy);
    UpdateResizeButton();
}

void ImageEditForm::UpdateResizeButton()
{
    const int w = ReadNumber(m_widthBox.m_hWnd), h = ReadNumber(m_heightBox.m_hWnd);
    const SIZE s = m_canvas.PictureSize();
    // An empty box is no size to resize to.
    const bool differs = w > 0 && h > 0 && (w != s.cx || h != s.cy);
    if (m_resize.disabled == static_cast<BOOL>(differs))
        m_resize.SetDisabled(!differs);
}

void ImageEditForm::OnUndo()
{
    m_canvas.Undo();
    resized = false;
    qualityApplied = false;
}

void ImageEditForm::OnResize()
{
    m_canvas.Resize(ReadNumber(m_widthBox.m_hWnd), ReadNumber(m_heightBox.m_hWnd), m_keepRatio.IsChecked());
    resized = true;
}

void ImageEditForm::OnActualPixels()
{
    m_canvas.ShowActualPixels();
}

void ImageEditForm::OnFit()
{
    m_canvas.FitToView();
}

void ImageEditForm::OnCrop()
{
    m_canvas.Crop();
}

void ImageEditForm::OnBrightness(int value)
{
    m_canvas.SetBrightness(value);
    m_brightnessBox.SetValue(value);
}

void ImageEditForm::OnContrast(int value)
{
    m_canvas.SetContrast(value);
    m_contrastBox.SetValue(value);
}

void ImageEditForm::OnSaturation(int value)
{
    m_saturationBox.SetValue(value);
}

void ImageEditForm::OnSaturate()
{
    m_canvas.ApplySaturation(std::clamp(ReadNumber(m_saturationBox.m_hWnd), -100, 100));
}

void ImageEditForm::OnRotateLeft()
{
    m_canvas.RotateLeft();
}

void ImageEditForm::OnRotateRight()
{
    m_canvas.RotateRight();
}

void ImageEditForm::OnQualityChoice(int)
{
    ApplyQualityRule();
}

void ImageEditForm::OnQualityValue(int value)
{
    m_qualityBox.SetValue(value);
}

// Recorded only: the page's settings decide the upload's format and quality.
void ImageEditForm::OnApplyQuality()
{
    chosenFormat = static_cast<int>(SendMessageW(m_format.m_hWnd, CB_GETCURSEL, 0, 0));
    chosenQuality = m_quality.GetValue();
    qualityApplied = true;
}

void ImageEditForm::OnOk()
{
    // The tile takes the new bitmap in place of its old one; an upload reading the old one keeps it.
    if (GpBitmap* edited = m_canvas.WorkingBitmap())
        m_item.TakeImage(edited);
    if (m_dialog)
        EndDialog(m_dialog, 0);
}

void ImageEditForm::OnCancel()
{
    if (m_dialog)
        EndDialog(m_dialog, 0);
}

void ImageEditForm::OnMaximise()
{
    m_form.ToggleMaximise();
    if (m_form.maximised)
        m_maximise.SetImages("BtnRestore-Normal", "BtnRestore-Hover", "BtnRestore-Hover", "BtnRestore-Normal");
    else
        m_maximise.SetImages("BtnMax-Normal", "BtnMax-Hover", "BtnMax-Hover", "BtnMax-Normal");
    m_maximise.Invalidate();
}
