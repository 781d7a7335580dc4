// Entry point of LumivexServer.exe.
#include "server/server_app.h"

namespace {

lumivex::server::CLumivexApp theApp;

} // namespace

LUMIVEX_FW_WINMAIN()
