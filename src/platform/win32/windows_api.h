// The Windows headers, made to live beside the system's own names: windows.h defines the
// registry value types (REG_SZ ...) and GetVersionEx as macros, which would rewrite
// platform::REG_SZ and platform::Platform::GetVersionEx. Include this instead of windows.h;
// the platform:: constants carry the same values.
#pragma once

#include <windows.h>
// windows.h first: the others need its types.
#include <commctrl.h>

#undef GetVersionEx
#undef REG_NONE
#undef REG_SZ
#undef REG_EXPAND_SZ
#undef REG_BINARY
#undef REG_DWORD
#undef REG_MULTI_SZ
