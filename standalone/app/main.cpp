// Skyvane as a standalone program: a status item of its own in the desktop's
// status bar (a tray icon), its weather menu with a Quit item, and the main
// loop until the user quits.

#include <clocale>
#include <csignal>
#include <iostream>
#include <memory>

#include "app/ComTeskPlim.h"
#include "app/RunningCopy.h"
#include "app/StrayRuns.h"
#include "platform/MainLoop.h"
#include "platform/gtk/GtkPresenter.h"
#include "platform/ui/Window.h"
#include "util/LogLines.h"

int main(int, char**) {
    // The first call makes this the main thread, before any other starts.
    MainLoop& loop = MainLoop::instance();
    // Lines logged by different threads stay whole.
    LogLines::install();
    std::setlocale(LC_ALL, "");
    // A weather site that closes its connection must not end the program.
    std::signal(SIGPIPE, SIG_IGN);

    // One copy per session: a Skyvane already running stays as it is, and
    // this start shows nothing and writes nothing.
    if (!runningSkyvane().empty()) {
        std::cerr << kAlreadyRunning << std::endl;
        return 0;
    }

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
    // The stop never waits for a thread that is computing: the core waits
    // only so long, and when a thread is still busy then, the program ends
    // here without freeing what that thread uses. Nothing is stored at the
    // end: a preview pushed by an open Preferences window is not kept.
    if (!core->finishForExit()) StrayRuns::endProcess(0);
    core.reset();
    return 0;
}
