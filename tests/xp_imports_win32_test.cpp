// CalvenorXP.exe must start on Windows XP SP3: it may import only functions that XP's system
// DLLs export, and no DLL that XP lacks (the runtime is linked in). The import table is read
// straight from the executable's PE headers.
//
// The allow-list holds exactly the functions the program and its static runtime use, each
// checked by hand: the Win32 functions against Microsoft's reference pages (learn.microsoft.com,
// "Minimum supported client": Windows 2000 Professional or Windows XP for every one listed;
// AttachConsole, GetModuleHandleExW and the vectored exception handler functions are the
// XP-only ones), the msvcrt.dll functions as members of the C runtime that XP's msvcrt.dll
// (version 7.0) carries.
// A function that is not on the list fails the test until someone has checked it the same way.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::map<std::string, std::set<std::string>>& XpAllowList() {
    static const std::map<std::string, std::set<std::string>> list = {
        {"advapi32.dll",
         {"RegCloseKey", "RegCreateKeyA", "RegCreateKeyExA", "RegDeleteValueA", "RegOpenKeyExA",
          "RegQueryValueExA", "RegSetValueExA"}},
        {"comctl32.dll",
         {"ImageList_Add", "ImageList_Create", "ImageList_Destroy", "ImageList_Remove",
          "InitCommonControlsEx"}},
        {"gdi32.dll",
         {"BitBlt",
          "CreateBitmap",
          "CreateCompatibleBitmap",
          "CreateCompatibleDC",
          "CreateDIBSection",
          "CreateFontIndirectA",
          "CreateSolidBrush",
          "DeleteDC",
          "DeleteObject",
          "GetPixel",
          "SelectObject",
          "GetDeviceCaps",
          "GetObjectA",
          "GetStockObject",
          "GetTextExtentPoint32A",
          "GetTextMetricsA",
          "SetBkColor",
          "SetBkMode",
          "SetTextColor",
          "SetViewportOrgEx"}},
        {"kernel32.dll",
         {"AddVectoredExceptionHandler",
          "AttachConsole",
          "CloseHandle",
          "CreateEventA",
          "CreateProcessA",
          "CreateSemaphoreA",
          "DeleteCriticalSection",
          "DuplicateHandle",
          "EnterCriticalSection",
          "FormatMessageA",
          "FreeLibrary",
          "GetCurrentProcess",
          "GetCurrentProcessId",
          "GetCurrentThread",
          "GetCurrentThreadId",
          "GetFileAttributesA",
          "GetFileAttributesExA",
          "GetHandleInformation",
          "GetLastError",
          "GetModuleFileNameA",
          "GetModuleHandleA",
          "GetModuleHandleExW",  // the runtime's, for thread_local objects
          "GetModuleHandleW",
          "GetProcAddress",
          "GetProcessAffinityMask",
          "GetStartupInfoA",
          "GetStdHandle",
          "GetSystemDirectoryA",
          "GetSystemTimeAsFileTime",
          "GetThreadContext",
          "GetThreadPriority",
          "GetTickCount",
          "GetVersionExA",
          "GetWindowsDirectoryA",
          "InitializeCriticalSection",
          "IsDBCSLeadByteEx",
          "IsDebuggerPresent",
          "LeaveCriticalSection",
          "LoadLibraryA",
          "LoadLibraryW",
          "LocalFree",
          "MulDiv",
          "MultiByteToWideChar",
          "OpenProcess",
          "OutputDebugStringA",
          "QueryPerformanceCounter",  // Debian 13's mingw-w64 runtime, as the five below
          "QueryPerformanceFrequency",
          "RaiseException",
          "ReleaseSemaphore",
          "RemoveVectoredExceptionHandler",
          "ResetEvent",
          "ResumeThread",
          "SearchPathA",
          "SetEvent",
          "SetLastError",
          "SetProcessAffinityMask",
          "SetThreadContext",
          "SetThreadPriority",
          "SetUnhandledExceptionFilter",
          "Sleep",
          "SuspendThread",
          "TlsAlloc",
          "TlsGetValue",
          "TlsSetValue",
          "TryEnterCriticalSection",
          "VirtualProtect",
          "VirtualQuery",
          "WaitForMultipleObjects",
          "WaitForSingleObject",
          "WideCharToMultiByte"}},
        {"msvcrt.dll", {"__getmainargs", "__initenv",      "__mb_cur_max",   "__p__acmdln",
                        "__p__commode",  "__p__fmode",     "__set_app_type", "__setusermatherr",
                        "_amsg_exit",    "_beginthreadex", "_cexit",         "_close",
                        "_endthreadex",  "_errno",         "_fdopen",        "_filelengthi64",
                        "_fileno",       "_fstat64",       "_fstati64",      "_get_osfhandle",
                        "_vsnprintf",    "_hypot",         "_initterm",      "_iob",
                        "_lseeki64",     "_onexit",        "_read",          "_setjmp3",
                        "_strdup",       "_ultoa",         "_wfopen",        "_write",
                        "abort",         "atoi",           "calloc",         "exit",
                        "fclose",        "fflush",         "fgetpos",        "fopen",
                        "fprintf",       "fputc",          "fputs",          "fread",
                        "free",          "freopen",        "fsetpos",        "fwrite",
                        "getc",          "getenv",         "getwc",          "iswctype",
                        "localeconv",    "longjmp",        "malloc",         "memchr",
                        "memcmp",        "memcpy",         "memmove",        "memset",
                        "printf",        "putc",           "putwc",          "realloc",
                        "setlocale",     "setvbuf",        "signal",         "strchr",
                        "strcmp",        "strcoll",        "strerror",       "strftime",
                        "strlen",        "strncmp",        "strncpy",        "strtoul",
                        "strxfrm",       "towlower",       "towupper",       "ungetc",
                        "ungetwc",       "vfprintf",       "wcscoll",        "wcsftime",
                        "wcslen",        "wcsxfrm"}},
        {"user32.dll",
         {"AdjustWindowRectEx",
          "BringWindowToTop",
          "CreateIconIndirect",
          "CreateWindowExA",
          "DefWindowProcA",
          "DestroyIcon",
          "DestroyWindow",
          "DispatchMessageA",
          "DrawTextA",
          "EnableWindow",
          "FillRect",
          "GetActiveWindow",
          "GetAncestor",
          "GetClientRect",
          "GetComboBoxInfo",
          "GetDC",
          "GetFocus",
          "GetKeyState",
          "GetMessageA",
          "GetNextDlgTabItem",
          "GetScrollPos",
          "GetSysColor",
          "GetSysColorBrush",
          "GetSystemMetrics",
          "GetWindowLongA",
          "GetWindowRect",
          "GetWindowTextA",
          "GetWindowTextLengthA",
          "IntersectRect",
          "InvalidateRect",
          "IsChild",
          "IsDialogMessageA",
          "IsWindowEnabled",
          "IsWindowVisible",
          "LoadCursorA",
          "MapWindowPoints",
          "MessageBoxA",
          "PostQuitMessage",
          "RedrawWindow",
          "RegisterClassExA",
          "ReleaseDC",
          "SendMessageA",
          "SetFocus",
          "SetForegroundWindow",
          "SetScrollPos",
          "SetScrollRange",
          "SetWindowLongA",
          "SetWindowPos",
          "SetWindowTextA",
          "ShowWindow",
          "SystemParametersInfoA",
          "TranslateMessage"}},
        {"uxtheme.dll", {"DrawThemeBackground", "GetWindowTheme"}},
        {"version.dll", {"GetFileVersionInfoA", "GetFileVersionInfoSizeA", "VerQueryValueA"}},
    };
    return list;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The executable's path as Windows (Wine) sees a Linux path: on drive Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

struct Image {
    std::vector<std::uint8_t> bytes;
    std::uint32_t U16(std::size_t at) const {
        return at + 2 <= bytes.size() ? bytes[at] | (bytes[at + 1] << 8) : 0;
    }
    std::uint32_t U32(std::size_t at) const {
        return at + 4 <= bytes.size() ? U16(at) | (U16(at + 2) << 16) : 0;
    }
};

struct Pe {
    Image image;
    std::size_t optional = 0;             // offset of the optional header
    std::vector<std::uint32_t> sections;  // offsets of the section headers
    bool valid = false;

    // File offset of a relative virtual address; 0 when no section holds it.
    std::size_t Offset(std::uint32_t rva) const {
        for (std::size_t s : sections) {
            const std::uint32_t va = image.U32(s + 12);
            const std::uint32_t size = std::max(image.U32(s + 8), image.U32(s + 16));
            if (rva >= va && rva < va + size) return image.U32(s + 20) + (rva - va);
        }
        return 0;
    }
    std::string Text(std::uint32_t rva) const {
        std::string text;
        for (std::size_t at = Offset(rva); at != 0 && at < image.bytes.size(); ++at) {
            if (image.bytes[at] == 0) break;
            text.push_back(static_cast<char>(image.bytes[at]));
        }
        return text;
    }
};

Pe ReadPe(const std::string& path) {
    Pe pe;
    std::ifstream file(path, std::ios::binary);
    pe.image.bytes.assign(std::istreambuf_iterator<char>(file), {});
    const Image& im = pe.image;
    if (im.U16(0) != 0x5A4D) return pe;  // "MZ"
    const std::size_t header = im.U32(0x3C);
    if (im.U32(header) != 0x4550) return pe;  // "PE\0\0"
    const std::size_t coff = header + 4;
    const std::uint32_t count = im.U16(coff + 2);
    pe.optional = coff + 20;
    const std::size_t table = pe.optional + im.U16(coff + 16);
    for (std::uint32_t i = 0; i < count; ++i) pe.sections.push_back(table + i * 40);
    pe.valid = true;
    return pe;
}

// DLL (lower case) -> imported names; ordinals as "#N".
std::map<std::string, std::vector<std::string>> Imports(const Pe& pe) {
    std::map<std::string, std::vector<std::string>> imports;
    const Image& im = pe.image;
    const std::uint32_t directory = im.U32(pe.optional + 96 + 8);  // data directory 1
    std::size_t at = pe.Offset(directory);
    for (; at != 0 && at + 20 <= im.bytes.size(); at += 20) {
        const std::uint32_t lookup = im.U32(at) != 0 ? im.U32(at) : im.U32(at + 16);
        const std::uint32_t name = im.U32(at + 12);
        if (name == 0) break;
        auto& functions = imports[Lower(pe.Text(name))];
        for (std::size_t thunk = pe.Offset(lookup); thunk != 0; thunk += 4) {
            const std::uint32_t entry = im.U32(thunk);
            if (entry == 0) break;
            if (entry & 0x80000000u) {
                functions.push_back("#" + std::to_string(entry & 0xFFFF));
            } else {
                functions.push_back(pe.Text(entry + 2));
            }
        }
    }
    return imports;
}

class XpExecutable : public ::testing::Test {
  protected:
    void SetUp() override {
        pe_ = ReadPe(WindowsPath(CALVENOR_XP_EXE));
        ASSERT_TRUE(pe_.valid) << "not a PE image: " << CALVENOR_XP_EXE;
    }
    Pe pe_;
};

TEST_F(XpExecutable, ImportsOnlyWhatXpSystemLibrariesExport) {
    const auto imports = Imports(pe_);
    ASSERT_FALSE(imports.empty());
    ASSERT_TRUE(imports.count("kernel32.dll"));
    for (const auto& [dll, functions] : imports) {
        const auto allowed = XpAllowList().find(dll);
        if (allowed == XpAllowList().end()) {
            ADD_FAILURE() << "imports from " << dll << ", which XP does not have or which is "
                          << "not a system library (is the runtime linked statically?)";
            continue;
        }
        for (const std::string& function : functions) {
            EXPECT_TRUE(allowed->second.count(function))
                << dll << "!" << function << " is not known to be exported by Windows XP SP3";
        }
    }
}

TEST_F(XpExecutable, Is32BitGuiImageForNt51) {
    const Image& im = pe_.image;
    EXPECT_EQ(im.U16(pe_.optional - 20), 0x14Cu);  // i386
    EXPECT_EQ(im.U16(pe_.optional), 0x10Bu);       // PE32
    EXPECT_EQ(im.U16(pe_.optional + 40), 5u);      // operating system version 5.1
    EXPECT_EQ(im.U16(pe_.optional + 42), 1u);
    EXPECT_EQ(im.U16(pe_.optional + 48), 5u);  // subsystem version 5.1: older loaders refuse more
    EXPECT_EQ(im.U16(pe_.optional + 50), 1u);
    EXPECT_EQ(im.U16(pe_.optional + 68), 2u);  // the Windows GUI subsystem
}

}  // namespace
