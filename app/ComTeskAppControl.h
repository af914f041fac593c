#pragma once
// What the shared application services ask of the program they serve: the
// menu program's core and the setup application answer it.

#include <string>

#include "util/plist/Value.h"

class Bundle;
class ComTeskUtilControl;
class Window;

class ComTeskAppControl {
public:
    virtual ~ComTeskAppControl() = default;

    virtual bool useGUI() = 0;
    // The program's bundle: its identifier names the preference domain.
    virtual Bundle& bundle() = 0;
    // Preferences of any user on this host (true) or of this user on any host.
    virtual bool anyUserScope() = 0;
    virtual ComTeskUtilControl* getUtil() = 0;
    // The web address for a key (5 the product page, 6 the version file, ...).
    virtual std::string urlFor(int key) = 0;
    // The version text read by the background version fetch (on the main thread).
    virtual void versionAvailable(const plist::Value& version) = 0;
    virtual void prefsModified() = 0;

    virtual void windowClosed() = 0;
    virtual void closeCurrentWindow(Window* window) = 0;
    virtual void closeCurrentWindow(Window* window, int returnCode, void* contextInfo) = 0;
    virtual void setCurrentWindow(Window* window, bool asModal, bool asSheet) = 0;
};
