#pragma once

namespace pictavo::platform {

enum class DisplayKind
{
    Automatic,
    Headless,
    Sdl
};

// Chooses where the windows of the calling thread (the UI thread) appear. Automatic reads
// PICTAVO_DISPLAY ("headless" or "sdl") and otherwise takes SDL2 when DISPLAY or
// WAYLAND_DISPLAY is set. SDL2 falls back to headless when it cannot start. Returns the choice.
DisplayKind startDisplay(DisplayKind wanted);
DisplayKind currentDisplay();
// On the UI thread: closes the display's windows and returns to the headless screen.
void stopDisplay();

} // namespace pictavo::platform
