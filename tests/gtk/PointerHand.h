#pragma once
// The pointer of the X display moved and pressed through XTest, as a hand
// moves the mouse: the events arrive as the display's own, so pointer grabs
// and drag and drop work as they do for a person. (X11's headers stay in the
// .cpp: their names clash with the project's Window and Font.)

// Whether the display has XTest.
bool pointerHandAvailable();
// Moves the pointer to x, y of the screen.
void pointerMoveTo(int x, int y);
// Presses (down) or lets go of the first button.
void pointerButton(bool down);
