#pragma once

#include "platform/win/WindowSystem.h"

#include <SDL.h>

#include <map>
#include <string>
#include <vector>

namespace pictavo::platform {

// One SDL window per visible top-level window, on the UI thread. SDL's events become the
// window system's input; other threads wake the UI thread's waits with a pushed event.
class SdlBackend : public WindowSystem::Backend
{
public:
    static std::shared_ptr<SdlBackend> start(DWORD uiThread);
    ~SdlBackend() override;

    void present(HWND top, const std::shared_ptr<Bitmap>& picture) override;
    void sync() override;

private:
    explicit SdlBackend(DWORD uiThread);
    void block(DWORD milliseconds);
    void pump();
    void handle(const SDL_Event& e);
    HWND windowOf(Uint32 sdlId) const;

    DWORD uiThread_;
    Uint32 wakeEvent_ = 0;
    std::map<HWND, SDL_Window*> windows_;
    HWND raised_ = nullptr;
    HCURSOR cursor_ = nullptr;
    std::map<HCURSOR, SDL_Cursor*> cursors_;
    bool dropping_ = false;
    std::vector<std::u16string> dropped_;
};

} // namespace pictavo::platform
