// The factory of the Skyvane Menu plug-in's principal class, looked up by the
// host as "<NSPrincipalClass>_create".

#include "app/menuextra/SkyvaneMenuExtra.h"

extern "C" __attribute__((visibility("default"))) MenuExtra* SkyvaneMenuExtra_create() { return new SkyvaneMenuExtra(); }
