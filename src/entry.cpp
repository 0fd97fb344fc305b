// Library entry point. The module has nothing to set up or tear down and
// links no C runtime, so the entry point only tells the loader it succeeded,
// for every attach and detach, process and thread alike.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
