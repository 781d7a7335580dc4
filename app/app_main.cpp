// Entry point of Lumivex.exe.
#include "app/lumivex_app.h"

namespace {
lumivex::app::CLumivexApp theApp;
} // namespace

LUMIVEX_FW_WINMAIN()
