#include "app/program_version.h"

#include "framework/app.h"
#include "support/sys_assist.h"

namespace lumivex::app {

ProgramVersion ReadProgramVersion() {
    const CFSysAssist system;
    ProgramVersion version;
    std::wstring internalName;
    std::wstring productVersion;
    system.GetVersionStrings(nullptr, fw::ModuleInstance(), version.productName, internalName,
                             productVersion);
    system.SplitString(productVersion, L", ", version.fields);
    return version;
}

} // namespace lumivex::app
