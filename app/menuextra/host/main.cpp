// The menu-bar host: loads a menu-bar plug-in bundle (default: "Skyvane
// Menu.menu" beside this program), makes its principal class through the
// module's factory and presents it as a status item of the desktop's status
// bar until it is told to end.
//
//   skyvane-menu-host ["path/to/Skyvane Menu.menu"]

#include <dlfcn.h>

#include <clocale>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/RunningCopy.h"
#include "app/StrayRuns.h"
#include "app/menuextra/MenuExtra.h"
#include "platform/MainLoop.h"
#include "platform/gtk/GtkPresenter.h"
#include "platform/ui/Window.h"
#include "util/LogLines.h"

int main(int argc, char** argv) {
    MainLoop& loop = MainLoop::instance();
    // Lines logged by different threads stay whole.
    LogLines::install();
    std::setlocale(LC_ALL, "");
    std::signal(SIGPIPE, SIG_IGN);

    namespace fs = std::filesystem;
    const std::string path = argc > 1 ? argv[1]
                                      : (fs::read_symlink("/proc/self/exe").parent_path() / "Skyvane Menu.menu").string();
    Bundle plugin(path);
    const std::string module = plugin.executablePath();
    const std::string principal = plugin.objectForInfoDictionaryKey("NSPrincipalClass").stringOr("");
    if (module.empty() || principal.empty()) {
        std::cerr << "skyvane-menu-host: [" << path << "] is no menu-bar plug-in (no module or principal class)" << std::endl;
        return 1;
    }
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::cerr << "skyvane-menu-host: cannot load [" << module << "]: " << dlerror() << std::endl;
        return 1;
    }
    auto factory = reinterpret_cast<MenuExtraFactory>(dlsym(handle, (principal + "_create").c_str()));
    if (!factory) {
        std::cerr << "skyvane-menu-host: [" << module << "] has no factory for " << principal << std::endl;
        dlclose(handle);
        return 1;
    }

    // One copy per session: a Skyvane already running (as this plug-in or as
    // the standalone program) stays as it is; no icon shows, no file changes.
    if (!runningSkyvane().empty()) {
        std::cerr << kAlreadyRunning << std::endl;
        dlclose(handle);
        return 0;
    }

    std::unique_ptr<GtkPresenter> presenter;
    if (GtkPresenter::initialize()) presenter = std::make_unique<GtkPresenter>();
    Application::shared().setTerminateHandler([&loop] { loop.quit(); });
    // Logging out (SIGTERM) or ^C end the host through the plug-in's unloading.
    loop.onTerminationSignal([&loop] { loop.quit(); });

    StatusItemRef item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    std::unique_ptr<MenuExtra> extra(factory());
    if (extra->initWithBundle(path, item)) {
        loop.run();
        extra->willUnload();
        // A refresh thread the plug-in left busy at its unloading still runs
        // its code and uses its objects: the host ends without tearing down.
        if (StrayRuns::count() > 0) StrayRuns::endProcess(0);
    } else {
        std::cerr << "skyvane-menu-host: " << principal << " did not start" << std::endl;
    }
    extra.reset();
    StatusBar::systemStatusBar().removeStatusItem(item);
    dlclose(handle);
    return 0;
}
