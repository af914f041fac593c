#pragma once
// Whether an X11 system tray (XEmbed) manages the default display's screen.
// Kept apart: the X11 headers' names clash with the platform's own.

bool x11TrayManagerPresent();
