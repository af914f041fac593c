// Skyvane as a standalone program: a status item of its own in the desktop's
// status bar (a tray icon), its weather menu with a Quit item, and the main
// loop until the user quits.

#include <clocale>
#include <csignal>
#include <memory>

#include "app/ComTeskPlim.h"
#include "platform/MainLoop.h"
#include "platform/gtk/GtkPresenter.h"
#include "platform/ui/Window.h"

int main(int, char**) {
    // The first call makes this the main thread, before any other starts.
    MainLoop& loop = MainLoop::instance();
    std::setlocale(LC_ALL, "");
    // A weather site that closes its connection must not end the program.
    std::signal(SIGPIPE, SIG_IGN);

    // Without a display the program runs headless (the model only).
    std::unique_ptr<GtkPresenter> presenter;
    if (GtkPresenter::initialize()) presenter = std::make_unique<GtkPresenter>();

    // Quit, logging out (SIGTERM) or ^C end the program through its own
    // teardown; the weather fetches under way stop at once, so that nothing
    // waits for a slow or silent site.
    std::unique_ptr<ComTeskPlim> core;
    auto stopAndQuit = [&loop, &core] {
        if (core) core->stopNetworkWork();
        loop.quit();
    };
    Application::shared().setTerminateHandler(stopAndQuit);
    loop.onTerminationSignal(stopAndQuit);
    core = std::make_unique<ComTeskPlim>(nullptr);
    loop.run();
    core->deactivate();
    core.reset();
    return 0;
}
