#include "platform/win/WindowState.h"

#include <algorithm>

namespace pictavo::platform {

namespace {

bool contains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

} // namespace

bool rectEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return rectEmpty(r) ? RECT{} : r;
}


std::shared_ptr<Window> WindowState::find(HWND hwnd) const
{
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second;
}

HWND WindowState::rootOf(HWND hwnd) const
{
    auto w = find(hwnd);
    while (w && w->parent) {
        auto p = find(w->parent);
        if (!p)
            break;
        w = p;
    }
    return w ? w->handle : nullptr;
}

POINT WindowState::screenOrigin(const Window& w) const
{
    POINT p{w.rect.left, w.rect.top};
    auto parent = find(w.parent);
    while (parent) {
        p.x += parent->rect.left + parent->client.left;
        p.y += parent->rect.top + parent->client.top;
        parent = find(parent->parent);
    }
    return p;
}

bool WindowState::visible(HWND hwnd) const
{
    for (auto w = find(hwnd); w; w = find(w->parent)) {
        if (!(w->style & WS_VISIBLE))
            return false;
        if (!w->parent)
            return true;
    }
    return false;
}

HWND WindowState::hitTest(POINT at) const
{
    for (HWND top : topLevels) {
        auto w = find(top);
        if (!w || !(w->style & WS_VISIBLE) || !contains(w->rect, at))
            continue;
        // Descend while a visible, enabled child contains the point.
        POINT local{at.x - w->rect.left - w->client.left, at.y - w->rect.top - w->client.top};
        for (;;) {
            std::shared_ptr<Window> next;
            RECT clientArea{0, 0, w->clientWidth(), w->clientHeight()};
            if (contains(clientArea, local)) {
                for (HWND c : w->children) {
                    auto child = find(c);
                    if (child && (child->style & WS_VISIBLE) && !(child->style & WS_DISABLED) &&
                        contains(child->rect, local)) {
                        next = child;
                        break;
                    }
                }
            }
            if (!next)
                return w->handle;
            local.x -= next->rect.left + next->client.left;
            local.y -= next->rect.top + next->client.top;
            w = next;
        }
    }
    return nullptr;
}

bool WindowState::isInside(HWND inner, HWND outer) const
{
    for (auto w = find(inner); w; w = find(w->parent))
        if (w->handle == outer)
            return true;
    return false;
}

void WindowState::markCompose(const Window& w)
{
    if (auto top = find(rootOf(w.handle)))
        top->composeDirty = true;
}

void WindowState::raiseTopLevel(HWND hwnd)
{
    auto w = find(hwnd);
    if (!w || w->parent)
        return;
    std::erase(topLevels, hwnd);
    auto at = topLevels.begin();
    if (!(w->exStyle & WS_EX_TOPMOST))
        while (at != topLevels.end()) {
            auto other = find(*at);
            if (!other || !(other->exStyle & WS_EX_TOPMOST))
                break;
            ++at;
        }
    topLevels.insert(at, hwnd);
    markCompose(*w);
}

} // namespace pictavo::platform
