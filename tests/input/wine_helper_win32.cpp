// Runs beside CalvenorXP.exe under the same Wine server and reads what the suite on the Linux
// side cannot: the main window's controls (place, state, value, text) in the screen record's
// format, the message boxes on screen, and the registry values the program writes. It answers
// "screen" and "snap" on standard input, each answer closed by "end"; "quit" ends it.

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gui/text/headless.h"
#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/windows_api_win32.h"
#include "store/registry.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "ui/app.h"

namespace {

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Text(HWND hwnd) {
    char buffer[1024] = {};
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

std::string Box(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    std::ostringstream out;
    out << r.left << "," << r.top << "," << r.right - r.left << "," << r.bottom - r.top;
    return out.str();
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

void Screen(const main_window::FrmMain& model) {
    std::ostringstream out;
    for (HWND main : TopLevel(gui::kFormClass)) {
        if (Text(main) != model.caption()) continue;
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
        out << "window frmMain title=" << Quote(Text(main)) << " frame=" << Box(main)
            << " client=" << Box(main) << " shown=" << (IsWindowVisible(main) ? 1 : 0)
            << " enabled=" << (IsWindowEnabled(main) ? 1 : 0) << "\n";
        const auto& controls = model.controls();
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ui::Control& c = *controls[i];
            HWND h = GetDlgItem(main, gui::kFirstControlId + static_cast<int>(i));
            if (h == nullptr) continue;
            int value = 0;
            std::string text;
            ValueAndText(c, h, value, text);
            out << "control frmMain." << c.id() << " kind=" << ui::KindName(c.kind())
                << " box=" << Box(h) << " shown=" << (IsWindowVisible(h) ? 1 : 0)
                << " enabled=" << (IsWindowEnabled(h) ? 1 : 0)
                << " focus=" << (info.hwndFocus == h ? 1 : 0) << " value=" << value
                << " text=" << Quote(text) << "\n";
        }
    }
    for (HWND box : TopLevel("#32770")) {
        out << "box title=" << Quote(Text(box)) << " frame=" << Box(box) << " shown=1\n";
        for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[64] = {};
            GetClassNameA(c, cls, sizeof cls);
            const std::string kind = lstrcmpiA(cls, "Button") == 0 ? "button" : "text";
            out << "item kind=" << kind << " text=" << Quote(Text(c)) << " box=" << Box(c) << "\n";
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
    // The main window's controls, named as the program names them: the same model, on a
    // registry of no consequence, gives each control ID its control.
    testing_support::MemoryRegistry registry;
    testing_support::FakePlatform platform(registry);
    store::Registry store(registry);
    std::ostringstream sink;
    gui::HeadlessPrompter prompter(sink);
    ui::App app(store, platform, prompter);
    auto& model = app.Open<main_window::FrmMain>();
    std::string line;
    while (std::getline(std::cin, line)) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "screen") {
            Screen(model);
        } else if (line == "snap") {
            Snap();
        } else if (line == "quit") {
            break;
        }
    }
    return 0;
}
