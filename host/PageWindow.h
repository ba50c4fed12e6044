#pragma once

#include "ControlSite.h"
#include "HtmlPage.h"

#include "platform/com/ComPtr.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pictavo::host {

class ScriptHost;

// A page in a window, as a browser of that era showed it: the page's objects created through
// the registry and activated in place one below the other, bound to script globals by id,
// then the page's scripts and window.onload. Lives on the page's thread.
class PageWindow
{
public:
    static constexpr int kMargin = 8;

    explicit PageWindow(ScriptHost& script);
    // Closes the page if it is still open.
    ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    // Property assignments made on every object right after it is created, before any script
    // (the demo points PostUrl at its receiver this way).
    void presetProperty(std::u16string name, std::u16string value);
    // Called once when the window has closed and its controls are torn down.
    void onClosed(std::function<void()> callback) { m_onClosed = std::move(callback); }

    // False (with the reason) when the file cannot be read.
    bool openFile(const std::filesystem::path& path, std::string& error);
    void open(const HtmlPage& page, const std::filesystem::path& base, const std::string& name);

    HWND window() const { return m_hwnd; }
    bool isOpen() const { return m_hwnd != nullptr; }
    // The window of the object with that id; any thread.
    HWND controlWindow(const std::u16string& id) const;
    // Evaluates on the page's thread; the value as JSON (empty for undefined) or the error.
    bool evaluate(const std::string& expression, std::string& json);
    // Closes as the window's close box does.
    void close();

private:
    struct Hosted
    {
        std::u16string id;
        ComPtr<IUnknown> object;
        ComPtr<ControlSite> site;
        HWND hwnd = nullptr;
    };

    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow(const std::u16string& title);
    bool createObject(const PageObject& object, int top, int& height);
    void bindGlobal(const std::u16string& id, IUnknown* object);
    void runScripts(const HtmlPage& page, const std::filesystem::path& base, const std::string& name);
    void relayout();
    void closeControls();
    void installAlert();

    ScriptHost& m_script;
    HWND m_hwnd = nullptr;
    std::vector<Hosted> m_objects;
    mutable std::mutex m_windowsLock; // controlWindow is asked from the scenario's thread
    std::vector<std::pair<std::u16string, HWND>> m_windows;
    std::vector<std::pair<std::u16string, std::u16string>> m_presets;
    std::function<void()> m_onClosed;
    bool m_closing = false;
};

} // namespace pictavo::host
