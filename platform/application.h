#pragma once

#include <functional>
#include <memory>
#include <string>

namespace zevra {

struct MainWindowDescription {
    std::string title;
    int width = 0;
    int height = 0;
    int minimumWidth = 0;
    int minimumHeight = 0;
    std::string backgroundColor; // "#rrggbb"
    std::string initialURL;
};

struct DocumentWindowDescription {
    std::string title;
    int width = 0;
    int height = 0;
    std::string html; // loaded with no base URL
};

// The application object: event loop, main thread, windows. One backend per toolkit.
class Application {
public:
    virtual ~Application() = default;

    // Runs the event loop on the calling (main) thread until quit() is called.
    virtual void run(std::function<void()> didFinishLaunching) = 0;
    // Ends the event loop; safe from any thread.
    virtual void quit() = 0;
    // Runs work on the main thread later; safe from any thread.
    virtual void postToMain(std::function<void()> work) = 0;

    // Creates the main window with its web view, or shows it again when it already exists.
    virtual void showMainWindow(const MainWindowDescription& window) = 0;
    // Brings the main window back (also after it was closed) and to the front.
    virtual void restoreMainWindow() = 0;
    // Opens a window of its own showing one document page.
    virtual void showDocumentWindow(const DocumentWindowDescription& window) = 0;

    // False for the headless backend.
    [[nodiscard]] virtual bool hasDisplay() const = 0;
};

// The GTK application when a display can be opened, otherwise the headless one.
std::unique_ptr<Application> makeApplication();

} // namespace zevra
