#pragma once
// One copy of the menu program per session. A start first looks on the
// session bus for a Skyvane already running, before it shows an icon or
// writes a file; finding one, it ends and leaves that one as it is.

#include <string>

// The bus name under which a live Skyvane already serves the menu program's
// protocol ("com.tesk.Skyvane<n>", the names the core vends itself under),
// or "" when there is none. A name held by a program that does not serve
// that protocol, or that does not answer at once, does not count; nor does
// anything without a session bus. The look takes at most about 1 s.
std::string runningSkyvane();

// What a second start logs before it ends.
inline constexpr char kAlreadyRunning[] = "Skyvane is already running";
