// Finding a form's window among this thread's own: FindWindow would as soon find the same
// window of another test process running beside this one.
#pragma once

#include <string>

#include "gui/win32/win32_adapter.h"
#include "platform/win32/windows_api.h"

namespace testing_support {

namespace own_window {

struct Search {
    const std::string* caption;
    const char* cls;
    HWND found;
};

// A function of the system's calling convention: a lambda has the compiler's, which differs
// on i686.
inline BOOL CALLBACK Match(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    char name[256] = {};
    char text[256] = {};
    GetClassNameA(h, name, sizeof name);
    GetWindowTextA(h, text, sizeof text);
    if (lstrcmpiA(name, s->cls) != 0 || *s->caption != text) return TRUE;
    s->found = h;
    return FALSE;
}

}  // namespace own_window

// This thread's top-level window of the given class and caption, or null.
inline HWND OwnWindow(const std::string& caption, const char* cls = gui::kFormClass) {
    own_window::Search search{&caption, cls, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &own_window::Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace testing_support
