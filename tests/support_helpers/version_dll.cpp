// A library that is there only for its version resource.
#include <windows.h>

extern "C" __declspec(dllexport) int HelpersVersionAnchor() {
    return 1;
}
