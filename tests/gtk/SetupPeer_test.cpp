// The peer program the desktop setup tests start: a fake menu program.

#include "setup/SetupFixture.h"

TEST(SetupPeer, DISABLED_MenuProgram) { runFakeMenuProgram(); }
