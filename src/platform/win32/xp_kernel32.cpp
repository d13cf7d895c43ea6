// The static C++ runtime's thread library (winpthreads) calls GetTickCount64, which XP's
// kernel32 does not export: an executable importing it would not even start there. This file
// supplies the import slot itself, so the linker takes it instead of kernel32's, and counts
// the wraps of XP's 32-bit GetTickCount. Linked as an object of the executable (not from a
// library) so that it is seen before the import library.
#include "platform/win32/windows_api.h"

namespace {

ULONGLONG WINAPI TickCount64() {
    // The program has one thread; the runtime only measures timeouts with this.
    static DWORD last = 0;
    static ULONGLONG wraps = 0;
    const DWORD now = GetTickCount();
    if (now < last) wraps += 0x100000000ULL;
    last = now;
    return wraps + now;
}

}  // namespace

extern "C" {
// The import slot that winpthreads' calls go through (stdcall, no arguments).
ULONGLONG(WINAPI* calvenor_GetTickCount64)() __asm__("__imp__GetTickCount64@0") = TickCount64;
}
