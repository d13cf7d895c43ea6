// Runs beside CalvenorXP.exe under the same Wine server and reads what the suite on the Linux
// side cannot: the controls of the program's windows (place, state, value, text, the thumb of a
// bar and the parts of a tab strip or icon list) in the screen record's format, the message
// boxes on screen, and the registry values the program writes. It answers "screen" and "snap"
// on standard input, each answer closed by "end"; "quit" ends it.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "detect/frm_drv_ver.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_about_a3d.h"
#include "dialogs/frm_ac97_mixer.h"
#include "dialogs/frm_quad.h"
#include "equalizer/frm_eq.h"
#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/win32/windows_api.h"
#include "reset/frm_reset.h"
#include "support/local_app.h"
#include "support/remote_rect_win32.h"
#include "text/quote.h"
#include "ui/app.h"
#include "wpcrset/frm_wpcrset.h"

namespace {

// Asked of the window, not read from the title Wine keeps for another process's window, which
// an edit control's typing does not change.
std::string Text(HWND hwnd) {
    char buffer[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 2000, &length)) {
        return "";
    }
    return std::string(buffer, std::min<std::size_t>(length, sizeof buffer - 1));
}

std::string Box(const RECT& r) {
    std::ostringstream out;
    out << r.left << "," << r.top << "," << r.right - r.left << "," << r.bottom - r.top;
    return out.str();
}

std::string Box(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return Box(r);
}

// The thumb of a scroll bar or track bar, and the headers of a tab strip or the entries of an
// icon list, as " thumb=..." and " parts=...".
std::string Geometry(const ui::Control& c, HWND h) {
    std::string out;
    switch (c.kind()) {
        case ui::Kind::ScrollBar: {
            // Wine does not answer GetScrollBarInfo for another process's bar: the thumb is
            // placed as the bar lays it out, between its arrows, with no page size set.
            RECT t = {};
            GetWindowRect(h, &t);
            const bool vertical = (GetWindowLongA(h, GWL_STYLE) & SBS_VERT) != 0;
            const long length = vertical ? t.bottom - t.top : t.right - t.left;
            const long arrow = GetSystemMetrics(vertical ? SM_CYVSCROLL : SM_CXHSCROLL);
            const long thumb = GetSystemMetrics(vertical ? SM_CYVTHUMB : SM_CXHTHUMB);
            const long free = length - 2 * arrow - thumb;
            if (free <= 0 || c.max <= c.min) break;
            const long pos = static_cast<long>(SendMessageA(h, SBM_GETPOS, 0, 0));
            const long at = arrow + MulDiv(free, pos - c.min, c.max - c.min);
            if (vertical) {
                t.top += at;
                t.bottom = t.top + thumb;
            } else {
                t.left += at;
                t.right = t.left + thumb;
            }
            out += " thumb=" + Box(t);
            break;
        }
        case ui::Kind::Slider: {
            RECT t;
            if (testing_support::RemoteRect(h).Get(TBM_GETTHUMBRECT, 0, 0, &t))
                out += " thumb=" + Box(t);
            break;
        }
        case ui::Kind::Tabs:
        case ui::Kind::IconList: {
            const bool tabs = c.kind() == ui::Kind::Tabs;
            const int count =
                static_cast<int>(SendMessageA(h, tabs ? TCM_GETITEMCOUNT : LVM_GETITEMCOUNT, 0, 0));
            testing_support::RemoteRect remote(h);
            std::string parts;
            for (int i = 0; i < count; ++i) {
                RECT r;
                if (!remote.Get(tabs ? TCM_GETITEMRECT : LVM_GETITEMRECT, static_cast<WPARAM>(i),
                                LVIR_BOUNDS, &r)) {
                    break;
                }
                parts += (parts.empty() ? "" : ";") + Box(r);
            }
            if (!parts.empty()) out += " parts=" + platform::QuotedOnOneLine(parts);
            break;
        }
        default:
            break;
    }
    return out;
}

// The value and text a control shows, read by messages that carry no pointer across processes.
void ValueAndText(const ui::Control& c, HWND h, int& value, std::string& text) {
    value = 0;
    text.clear();
    switch (c.kind()) {
        case ui::Kind::CheckBox:
        case ui::Kind::Option:
            value = SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
            text = Text(h);
            break;
        case ui::Kind::List: {
            value = static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0));
            if (value >= 0) text = Text(h);
            break;
        }
        case ui::Kind::ScrollBar:
            value = static_cast<int>(SendMessageA(h, SBM_GETPOS, 0, 0));
            break;
        case ui::Kind::Slider:
            value = static_cast<int>(SendMessageA(h, TBM_GETPOS, 0, 0));
            break;
        case ui::Kind::Tabs:
            value = static_cast<int>(SendMessageA(h, TCM_GETCURSEL, 0, 0));
            if (value >= 0 && value < static_cast<int>(c.items.size())) {
                text = c.items[static_cast<std::size_t>(value)];
            }
            break;
        case ui::Kind::IconList:
            value = static_cast<int>(
                SendMessageA(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            break;
        default:
            text = Text(h);
            break;
    }
}

struct Found {
    std::vector<HWND> hwnds;
    std::string cls;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM data) {
    auto* f = reinterpret_cast<Found*>(data);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (f->cls == cls && IsWindowVisible(hwnd)) f->hwnds.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevel(const char* cls) {
    Found f{{}, cls};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&f));
    return f.hwnds;
}

// The program's windows on screen, each named by the form of the same caption.
void Screen(const std::vector<ui::Form*>& forms) {
    std::ostringstream out;
    for (HWND hwnd : TopLevel(gui::kFormClass)) {
        const ui::Form* form = nullptr;
        for (const ui::Form* f : forms) {
            if (Text(hwnd) == f->caption()) form = f;
        }
        if (form == nullptr) continue;
        const std::string name = form->name();
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info);
        out << "window " << name << " title=" << platform::QuotedOnOneLine(Text(hwnd))
            << " frame=" << Box(hwnd) << " client=" << Box(hwnd)
            << " shown=" << (IsWindowVisible(hwnd) ? 1 : 0)
            << " enabled=" << (IsWindowEnabled(hwnd) ? 1 : 0) << "\n";
        const auto& controls = form->controls();
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ui::Control& c = *controls[i];
            HWND h = GetDlgItem(hwnd, gui::kFirstControlId + static_cast<int>(i));
            if (h == nullptr) continue;
            int value = 0;
            std::string text;
            ValueAndText(c, h, value, text);
            out << "control " << name << "." << c.id() << " kind=" << ui::KindName(c.kind())
                << " box=" << Box(h) << " shown=" << (IsWindowVisible(h) ? 1 : 0)
                << " enabled=" << (IsWindowEnabled(h) ? 1 : 0)
                << " focus=" << (info.hwndFocus == h ? 1 : 0) << " value=" << value
                << " text=" << platform::QuotedOnOneLine(text) << Geometry(c, h) << "\n";
        }
    }
    for (HWND box : TopLevel("#32770")) {
        out << "box title=" << platform::QuotedOnOneLine(Text(box)) << " frame=" << Box(box)
            << " shown=1\n";
        for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[64] = {};
            GetClassNameA(c, cls, sizeof cls);
            const std::string kind = lstrcmpiA(cls, "Button") == 0 ? "button" : "text";
            out << "item kind=" << kind << " text=" << platform::QuotedOnOneLine(Text(c))
                << " box=" << Box(c) << "\n";
        }
    }
    out << "end\n";
    std::cout << out.str() << std::flush;
}

void Walk(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        std::vector<BYTE> data(size + 1);
        nameLength = sizeof name;
        DWORD got = size;
        RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data.data(), &got);
        std::cout << "value\t" << path << "\t" << name << "\t" << type << "\t";
        for (DWORD b = 0; b < got; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%s%02x", b == 0 ? "" : ",", data[b]);
            std::cout << hex;
        }
        std::cout << "\n";
    }
    for (DWORD i = 0;; ++i) {
        char child[512];
        DWORD length = sizeof child;
        if (RegEnumKeyExA(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        Walk(HKEY_LOCAL_MACHINE, path + "\\" + child);
    }
    RegCloseKey(key);
}

void Snap() {
    for (const char* key : {"SYSTEM\\CurrentControlSet\\Services\\wdm_au8830",
                            "SYSTEM\\CurrentControlSet\\Services\\WPCRSET", "SOFTWARE\\Aureal",
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                            "SOFTWARE\\Microsoft\\Multimedia\\DirectXMedia"}) {
        Walk(HKEY_LOCAL_MACHINE, key);
    }
    std::cout << "end\n" << std::flush;
}

}  // namespace

int main() {
    // The windows' controls, named as the program names them: the same forms, on a registry
    // of no consequence, give each control ID its control.
    testing_support::LocalApp local;
    ui::App& app = local.app;
    auto& main = app.Open<main_window::FrmMain>();
    app.Open<dialogs::FrmAbout>(main);
    app.Open<dialogs::FrmAboutA3D>(main);
    app.Open<dialogs::FrmAC97Mixer>(main);
    app.Open<dialogs::FrmQuad>(main);
    app.Open<equalizer::FrmEQ>(main);
    app.Open<detect::FrmDrvVer>(main);
    app.Open<reset::FrmReset>(main, [] {});
    app.Open<wpcrset::FrmWPCRSET>(main);
    const std::vector<ui::Form*> forms = app.Forms();
    std::string line;
    while (std::getline(std::cin, line)) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "screen") {
            Screen(forms);
        } else if (line == "snap") {
            Snap();
        } else if (line == "quit") {
            break;
        }
    }
    return 0;
}
