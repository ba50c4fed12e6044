#pragma once

#include "ui/MessageMap.h"

#include <string>

// The native-window part of a control: the handle, the route from the window procedure to
// the object, and the procedure of the class it superclasses (the default one otherwise).
class WindowImpl : public MessageMap
{
public:
    WindowImpl() = default;
    ~WindowImpl() override;
    WindowImpl(const WindowImpl&) = delete;
    WindowImpl& operator=(const WindowImpl&) = delete;

    virtual WNDPROC GetWindowProc();
    virtual void OnFinalMessage(HWND) {}

    HWND m_hWnd = nullptr;

protected:
    // A class of our own named className, or a superclass of baseClass under that name.
    static void RegisterClass(LPCWSTR className, LPCWSTR baseClass = nullptr, UINT style = 0);
    HWND CreateImpl(LPCWSTR className, HWND parent, const RECT& rect, LPCWSTR text, DWORD style,
                    DWORD exStyle = 0, UINT id = 0);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_superProc = nullptr;

private:
    static LRESULT StartWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
