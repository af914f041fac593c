#pragma once
// The two programs' named objects on the session bus and their protocols.
// The menu program vends an object answering SkyvanePublic under
// "com.tesk.Skyvane<n>" (n from 0 to 99); the setup application vends one
// answering SkyvaneSetupPublic under "com.tesk.SkyvaneSetup". Method names
// are the messages' selectors with the colons turned into underscores (the
// last one dropped); a nil argument travels as an absent value.

#include "platform/BusObject.h"

inline constexpr char kSkyvaneBusNameFormat[] = "com.tesk.Skyvane%d";
inline constexpr char kSkyvaneDefaultBusName[] = "com.tesk.Skyvane";
inline constexpr char kSkyvaneSetupBusName[] = "com.tesk.SkyvaneSetup";

// setPreference:toValue: (key, value), setPreferences: (the whole
// dictionary), setCurrentLocationTo: (a location dictionary).
inline const BusProtocol kSkyvanePublic{
    "com.tesk.SkyvanePublic", {{"setPreference_toValue", 2}, {"setPreferences", 1}, {"setCurrentLocationTo", 1}}};

// runAboutBox, runEmailSignupForApp: (caller's name or nothing),
// runPreferences:advanced:forApp:pane:firstRun: (preferences, advanced,
// caller's name or nothing, pane name, first run).
inline const BusProtocol kSkyvaneSetupPublic{"com.tesk.SkyvaneSetupPublic",
                                             {{"runAboutBox", 0},
                                              {"runEmailSignupForApp", 1},
                                              {"runPreferences_advanced_forApp_pane_firstRun", 5}}};
