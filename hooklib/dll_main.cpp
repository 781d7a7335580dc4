// Entry point of the hook library: routes load and unload to its application object.
#include "framework/app.h"

LUMIVEX_FW_DLLMAIN()
