#pragma once
// Child programs and the user's browser.

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Runs the program at path with args and reads its standard output to the
// end (standard input is empty, standard error is shared). The output, or
// nullopt when the program could not be started, its output could not be
// read or was empty. The caller waits until the child closes its output; the
// child is always reaped.
std::optional<std::string> runTask(const std::string& path, const std::vector<std::string>& args);

// Starts the program at path with args on its own: it is not waited for and
// never left behind as a zombie. False when it could not be started.
bool launchDetached(const std::string& path, const std::vector<std::string>& args);

// Starts the program of a bundle (the executable its Info.plist names),
// detached. False when the bundle has none or it could not be started.
bool launchApplication(const std::string& bundlePath);

// Opens url in the user's default handler for its scheme (the browser for
// web pages). False for text that is no URL or when nothing could open it.
bool openURL(const std::string& url);

// Replaces what opens URLs (tests record instead); an empty function
// restores the desktop's.
void setURLOpener(std::function<bool(const std::string&)> opener);
