#pragma once
// A process-wide count of changes to the user-interface model. Every setter
// of a menu, status item, window or control bumps it; a presenter that shows
// the model on a desktop compares it with the count it last showed.

#include <cstdint>

void noteUIChange();
uint64_t uiChangeCount();
