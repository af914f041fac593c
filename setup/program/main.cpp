// Skyvane Setup: shows its windows on the desktop when there is one, and
// runs headless (still answering the menu program) when there is none.

#include <memory>

#include "platform/MainLoop.h"
#include "platform/gtk/GtkPresenter.h"
#include "setup/ComTeskPlimSetup.h"
#include "util/LogLines.h"

int main() {
    MainLoop::instance();
    // Lines logged by different threads stay whole.
    LogLines::install();
    std::unique_ptr<GtkPresenter> presenter;
    if (GtkPresenter::initialize()) presenter = std::make_unique<GtkPresenter>();
    return runSetupApplication();
}
