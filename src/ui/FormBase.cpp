#include "ui/FormBase.h"

#include "platform/controls/CommCtrl.h"

using Quendal::UI::CMouseEventArgs;
using Quendal::UI::CPaintEventArgs;

FormBase::~FormBase()
{
    if (backBuffer)
        DeleteObject(backBuffer);
}

void FormBase::AttachWindow(HWND window, int x, int y, int w, int h)
{
    hwnd = window;
    bounds = RECT{x, y, x + w, y + h};
}

void FormBase::AttachWindow(HWND window, const RECT& placement)
{
    AttachWindow(window, placement.left, placement.top, placement.right - placement.left,
                 placement.bottom - placement.top);
}

void FormBase::ToggleMaximise()
{
    if (!maximised) {
        ShowWindow(hwnd, SW_MAXIMIZE);
        maximised = TRUE;
        resizable = FALSE;
        draggable = FALSE;
    } else {
        ShowWindow(hwnd, SW_RESTORE);
        maximised = FALSE;
        resizable = TRUE;
        draggable = TRUE;
    }
}

void FormBase::CursorForHitTest(int hitTest)
{
    LPCWSTR cursor = IDC_ARROW;
    if (resizable) {
        switch (hitTest) {
        case HTLEFT:
        case HTRIGHT:
            cursor = IDC_SIZEWE;
            break;
        case HTTOP:
        case HTBOTTOM:
            cursor = IDC_SIZENS;
            break;
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            cursor = IDC_SIZENWSE;
            break;
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            cursor = IDC_SIZENESW;
            break;
        default:
            break;
        }
    }
    SetCursor(LoadCursorW(nullptr, cursor));
}

ControlBase* FormBase::FindWindowedElement(HWND child)
{
    if (!child || child == hwnd)
        return nullptr;
    std::vector<ControlBase*> pending(children.begin(), children.end());
    while (!pending.empty()) {
        ControlBase* e = pending.back();
        pending.pop_back();
        if (e->GetHwnd() == child)
            return e;
        pending.insert(pending.end(), e->children.begin(), e->children.end());
    }
    return nullptr;
}

// Native children report to their parent; the element that owns the child handles it, as
// the message number + OCM__BASE.
BOOL FormBase::Reflect(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (!FindWindowedElement(child))
        return FALSE;
    result = SendMessageW(child, OCM__BASE + message, wParam, lParam);
    return TRUE;
}

void FormBase::Paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (backBuffer) {
        HDC buffer = CreateCompatibleDC(dc);
        HDC scratch = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(buffer, backBuffer);
        // The buffer keeps what earlier paints drew; only the invalid area is drawn again.
        if (ps.rcPaint.left < ps.rcPaint.right && ps.rcPaint.top < ps.rcPaint.bottom)
            IntersectClipRect(buffer, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
        GpGraphics* graphics = nullptr;
        GdipCreateFromHDC(buffer, &graphics);
        CPaintEventArgs e;
        e.hdc = buffer;
        e.scratchDc = scratch;
        e.graphics = graphics;
        OnPaint(e);
        if (graphics)
            GdipDeleteGraphics(graphics);
        BitBlt(dc, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top, buffer, 0, 0, SRCCOPY);
        SelectObject(buffer, old);
        DeleteDC(scratch);
        DeleteDC(buffer);
    }
    EndPaint(window, &ps);
}

void FormBase::DescribeTree(ControlBase& element, pictavo::platform::AutomationNode& node)
{
    for (ControlBase* child : element.children) {
        // Elements with a window of their own are described as windows already.
        if (child->GetHwnd() != hwnd)
            continue;
        pictavo::platform::AutomationNode childNode;
        child->Describe(childNode);
        DescribeTree(*child, childNode);
        node.children.push_back(std::move(childNode));
    }
}

BOOL FormBase::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                    DWORD)
{
    if (!hwnd)
        hwnd = window;
    switch (message) {
    case WM_DESTROY:
        if (backBuffer) {
            DeleteObject(backBuffer);
            backBuffer = nullptr;
        }
        captured = nullptr;
        dragger.Stop();
        result = 0;
        return TRUE;
    case WM_SIZE: {
        const int w = LOWORD(lParam), h = HIWORD(lParam);
        bounds = RECT{0, 0, w, h};
        if (backBuffer)
            DeleteObject(backBuffer);
        HDC dc = GetDC(window);
        backBuffer = CreateCompatibleBitmap(dc, w, h);
        ReleaseDC(window, dc);
        LayoutChildren();
        InvalidateRect(window, &bounds, FALSE);
        result = 0;
        return TRUE;
    }
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxSize.x = GetSystemMetrics(SM_CXSCREEN);
        info->ptMaxSize.y =
            GetSystemMetrics(SM_CYFULLSCREEN) + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
        info->ptMaxPosition = POINT{0, 0};
        result = 0;
        return TRUE;
    }
    case WM_PAINT:
        Paint(window);
        result = 0;
        return TRUE;
    case WM_SETCURSOR:
        // A child's own cursor (the edit's I-beam) is its business.
        if (reinterpret_cast<HWND>(wParam) != window)
            return FALSE;
        CursorForHitTest(static_cast<SHORT>(LOWORD(lParam)));
        result = TRUE;
        return TRUE;
    case WM_LBUTTONDOWN: {
        SetCapture(window);
        CMouseEventArgs e(wParam, lParam);
        OnLButtonDown(e);
        if (e.handled) {
            captured = e.captureTarget;
        } else if (draggable) {
            POINT p{e.x, e.y};
            ClientToScreen(window, &p);
            dragger.Start(window, p);
        }
        result = 0;
        return TRUE;
    }
    case WM_MOUSEMOVE: {
        CMouseEventArgs e(wParam, lParam);
        if (dragger.active) {
            POINT p{e.x, e.y};
            ClientToScreen(window, &p);
            dragger.MoveTo(p);
        } else if (captured) {
            captured->OnMouseMove(e);
        } else {
            OnMouseMove(e);
            if (!trackingLeave) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, window, 10};
                _TrackMouseEvent(&track);
                trackingLeave = TRUE;
            }
        }
        result = 0;
        return TRUE;
    }
    case WM_LBUTTONUP: {
        const bool wasDragging = dragger.active;
        ControlBase* target = captured;
        dragger.Stop();
        captured = nullptr;
        ReleaseCapture();
        if (!wasDragging) {
            CMouseEventArgs e(wParam, lParam);
            if (target)
                target->OnLButtonUp(e);
            else
                OnLButtonUp(e);
        }
        result = 0;
        return TRUE;
    }
    case WM_MOUSELEAVE:
        OnMouseLeave();
        trackingLeave = FALSE;
        result = 0;
        return TRUE;
    case WM_COMMAND:
        return lParam && Reflect(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result);
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        return header && Reflect(header->hwndFrom, message, wParam, lParam, result);
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return Reflect(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result);
    case WM_PICTAVO_DESCRIBE: {
        auto* node = reinterpret_cast<pictavo::platform::AutomationNode*>(lParam);
        if (maximised)
            node->state.insert_or_assign("maximised", std::u16string(u"1"));
        DescribeTree(*this, *node);
        result = TRUE;
        return TRUE;
    }
    default:
        return FALSE;
    }
}
