// The Windows program itself, run under a display (Wine under Xvfb in CI): its real windows
// are driven from this process by window messages, as another program could, and the real
// registry is read afterwards. It uses the machine's HKEY_LOCAL_MACHINE as the program does,
// so it lives in one test (scenario tests keep to their scratch keys).
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "gui/headless/headless.h"
#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/win32/windows_api.h"
#include "settings/schema.h"
#include "support/memory_registry.h"
#include "support/remote_rect_win32.h"
#include "support/scenario.h"

namespace {

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Waits for a condition the program brings about by itself, within a generous bound.
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 600; ++i) {
        if (condition()) return true;
        Sleep(50);
    }
    return condition();
}

std::string Text(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[128] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// Top-level windows of a process with a class and, when given, a caption.
struct Search {
    DWORD process;
    std::string cls, caption;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM data) {
    auto& s = *reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == s.process && ClassOf(hwnd) == s.cls &&
        (s.caption.empty() || Text(hwnd) == s.caption)) {
        s.found.push_back(hwnd);
    }
    return TRUE;
}

std::vector<HWND> Windows(DWORD process, const std::string& cls, const std::string& caption = "") {
    Search search{process, cls, caption, {}};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Registry reads and preparations on the machine the program uses.
std::optional<DWORD> Dword(const char* path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != platform::REG_DWORD) return std::nullopt;
    return value;
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void SetDword(const char* path, const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key), ERROR_SUCCESS) << path;
    RegSetValueExA(key, name, 0, platform::REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
    RegCloseKey(key);
}

void DeleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char child[256];
    DWORD length = sizeof child;
    while (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        const std::string before(child, length);
        DeleteTree(key, before);
        length = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS &&
            std::string(child, length) == before) {
            break;
        }
        length = sizeof child;
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}

// The program, started and driven; closed (or killed) when the object goes.
class Program {
  public:
    Program() {
        // Control IDs follow the order of the form's controls: the same model gives them.
        registry_ = std::make_unique<testing_support::MemoryRegistry>();
        platform_ = std::make_unique<testing_support::FakePlatform>(*registry_);
        store_ = std::make_unique<settings::Registry>(*registry_);
        prompter_ = std::make_unique<gui::HeadlessPrompter>(out_);
        app_ = std::make_unique<ui::App>(*store_, *platform_, *prompter_);
        model_ = &app_->Open<main_window::FrmMain>();

        std::string line = "\"" + WindowsPath(CALVENOR_EXE) + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
        if (started_) {
            // The window exists before its load has run; it is shown once the load is done.
            Eventually([this] {
                main_ = Find("Calvenor XP");
                return main_ != nullptr && IsWindowVisible(main_);
            });
        }
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    bool started() const { return started_; }
    HWND main() const { return main_; }
    HWND Find(const std::string& caption) const {
        const auto found = Windows(process_.dwProcessId, gui::kFormClass, caption);
        return found.empty() ? nullptr : found.front();
    }
    // Texts of the message boxes on screen, for failure messages.
    std::string Boxes() const {
        std::string texts;
        for (HWND box : Windows(process_.dwProcessId, "#32770")) {
            texts += "[" + Text(box) + "]";
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                texts += " " + Text(c);
            }
        }
        return texts;
    }
    HWND Control(const std::string& id) const {
        const auto& controls = model_->controls();
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if (controls[i]->id() == id) {
                return GetDlgItem(main_, gui::kFirstControlId + static_cast<int>(i));
            }
        }
        ADD_FAILURE() << "no control " << id;
        return nullptr;
    }
    int Id(HWND control) const { return GetDlgCtrlID(control); }
    // Brings a tab page to the front with the arrow keys, as a user could.
    void Page(int page) {
        HWND tabs = Control("SSTab1");
        while (SendMessageA(tabs, TCM_GETCURSEL, 0, 0) > page) {
            SendMessageA(tabs, WM_KEYDOWN, VK_LEFT, 0);
        }
        while (SendMessageA(tabs, TCM_GETCURSEL, 0, 0) < page) {
            SendMessageA(tabs, WM_KEYDOWN, VK_RIGHT, 0);
        }
    }
    // A double click on an entry of an icon list, where the list shows it.
    void DoubleClickEntry(const std::string& id, int entry) {
        HWND list = Control(id);
        RECT r = {};
        ASSERT_TRUE(testing_support::RemoteRect(list).Get(LVM_GETITEMRECT, entry, LVIR_ICON, &r))
            << id << " entry " << entry;
        POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ScreenToClient(list, &at);
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    }
    // Presses a button of the message box on screen once one shows; false when none came.
    bool Answer(int button) {
        HWND box = nullptr;
        if (!Eventually([&] {
                const auto boxes = Windows(process_.dwProcessId, "#32770");
                box = boxes.empty() ? nullptr : boxes.front();
                return box != nullptr && IsWindowVisible(box);
            })) {
            return false;
        }
        PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
        return Eventually([&] { return !IsWindow(box); });
    }
    bool Ended(DWORD milliseconds = 30000) {
        return WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
    }

  private:
    std::ostringstream out_;
    std::unique_ptr<testing_support::MemoryRegistry> registry_;
    std::unique_ptr<testing_support::FakePlatform> platform_;
    std::unique_ptr<settings::Registry> store_;
    std::unique_ptr<gui::HeadlessPrompter> prompter_;
    std::unique_ptr<ui::App> app_;
    main_window::FrmMain* model_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
    HWND main_ = nullptr;
};

class Win32Smoke : public ::testing::Test {
  protected:
    void SetUp() override {
        char display[256] = {};
        if (GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) {
            GTEST_SKIP() << "no display to open windows on";
        }
        // These tests share the machine's driver keys; ctest may start them side by side, each
        // in a process of its own.
        lock_ = CreateMutexA(nullptr, FALSE, "CalvenorXP.SmokeTests");
        ASSERT_NE(lock_, nullptr);
        const DWORD waited = WaitForSingleObject(lock_, INFINITE);
        ASSERT_TRUE(waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED);
        Clean();
    }
    void TearDown() override {
        if (lock_ == nullptr) return;
        Clean();
        ReleaseMutex(lock_);
        CloseHandle(lock_);
        lock_ = nullptr;
    }
    static void Clean() {
        for (const char* key :
             {"SYSTEM\\CurrentControlSet\\Services\\wdm_au8830", "Software\\Aureal",
              "SYSTEM\\CurrentControlSet\\Services\\WPCRSET"}) {
            DeleteTree(HKEY_LOCAL_MACHINE, key);
        }
    }

  private:
    HANDLE lock_ = nullptr;
};

TEST_F(Win32Smoke, RealControlsWriteTheRegistryAndWindowsHandBackTheMainWindow) {
    using namespace schema;
    // The driver's keys with a few settings unlike the ones the clicks below make.
    for (const char* key : {kControlPanel, kCustomization, kSpdifEnableList, kDriverEqualizer,
                            kAU8830Equalizer, kSpeakerCompensation, kRun, kDirectXMedia}) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &k), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    SetDword(kControlPanel, kPrimaryXtalk, 1);
    SetDword(kControlPanel, kReverbAmount, 0);
    SetDword(kCustomization, kST9704ATTEN, 0);
    SetDword(kCustomization, kAC97PCMOutVol, 0);

    Program program;
    ASSERT_TRUE(program.started());
    ASSERT_NE(program.main(), nullptr) << program.Boxes();
    HWND main = program.main();

    // A drop-down list: the entry is picked and the list tells its window, as on a click.
    program.Page(2);
    HWND type = program.Control("cboA3DType");
    ASSERT_TRUE(IsWindowVisible(type));
    SendMessageA(type, CB_SETCURSEL, 2, 0);
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(program.Id(type), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(type));
    EXPECT_EQ(Dword(kControlPanel, kPrimaryXtalk), 3u);
    EXPECT_TRUE(IsWindowVisible(program.Control("imgMon")));
    EXPECT_FALSE(IsWindowVisible(program.Control("imgPhones")));

    // A check box, clicked.
    program.Page(3);
    HWND attenuation = program.Control("chkAttenuation");
    SendMessageA(attenuation, BM_CLICK, 0, 0);
    EXPECT_EQ(Dword(kCustomization, kST9704ATTEN), 1u);
    EXPECT_EQ(SendMessageA(attenuation, BM_GETCHECK, 0, 0), BST_CHECKED);

    // A scroll bar reports its value when the thumb is let go.
    HWND pcm1 = program.Control("hsbPCM1");
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 20), reinterpret_cast<LPARAM>(pcm1));
    EXPECT_EQ(Dword(kCustomization, kAC97PCMOutVol), 0u);
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 20),
                 reinterpret_cast<LPARAM>(pcm1));
    EXPECT_EQ(Dword(kCustomization, kAC97PCMOutVol), 20u);
    EXPECT_EQ(GetScrollPos(pcm1, SB_CTL), 20);
    EXPECT_EQ(Text(program.Control("lblPCM1")), "20");

    // A track bar: its position set and the notification it sends when let go.
    program.Page(1);
    HWND reverb = program.Control("hsbEffect1");
    SendMessageA(reverb, TBM_SETPOS, TRUE, 100);
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 100),
                 reinterpret_cast<LPARAM>(reverb));
    EXPECT_EQ(Dword(kControlPanel, kReverbAmount), 100u);
    EXPECT_EQ(Text(program.Control("lblEffect1")), "100");

    // Windows opened from the main window lock it, and closing them gives it back.
    struct Opening {
        int page;
        const char* button;
        const char* caption;
        bool hidesMain;
        bool escape;  // closed with the Escape key, else by the title bar's close box
    };
    for (const Opening& o : {Opening{4, "cmdEQSettings", "Equalizer Settings", false, true},
                             Opening{-1, "cmdAbout", "About Calvenor XP", false, true},
                             Opening{2, "cmdAboutA3D", "About A3D", false, false},
                             Opening{2, "cmdDrvVerHlp", "Driver Version Information", true, true},
                             Opening{-1, "cmdReset", "Reset Settings", true, false}}) {
        SCOPED_TRACE(o.caption);
        if (o.page >= 0) program.Page(o.page);
        PostMessageA(program.Control(o.button), BM_CLICK, 0, 0);
        HWND other = nullptr;
        ASSERT_TRUE(Eventually([&] { return (other = program.Find(o.caption)) != nullptr; }))
            << program.Boxes();
        EXPECT_TRUE(Eventually([&] { return IsWindowVisible(other) != FALSE; }));
        EXPECT_TRUE(Eventually([&] {
            return !IsWindowEnabled(main) && (IsWindowVisible(main) == FALSE) == o.hidesMain;
        }));
        if (o.escape) {
            // Escape, as the dialog keys give it to the window's focused control.
            HWND focus = GetWindow(other, GW_CHILD);
            while (focus != nullptr && !(GetWindowLongA(focus, GWL_STYLE) & WS_TABSTOP)) {
                focus = GetWindow(focus, GW_HWNDNEXT);
            }
            ASSERT_NE(focus, nullptr);
            PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        } else {
            PostMessageA(other, WM_CLOSE, 0, 0);
        }
        EXPECT_TRUE(Eventually([&] { return program.Find(o.caption) == nullptr; }));
        EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(main) && IsWindowVisible(main); }))
            << program.Boxes();
    }

    // The exit button ends the program.
    PostMessageA(program.Control("cmdOK"), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.Ended());
}

TEST_F(Win32Smoke, OnAMachineWithoutDriverKeysTheA3DKeyIsMadeAndOtherWritesAreDropped) {
    using namespace schema;
    Program program;
    ASSERT_TRUE(program.started());
    ASSERT_NE(program.main(), nullptr) << program.Boxes();
    EXPECT_TRUE(KeyExists(kA3D));
    EXPECT_FALSE(KeyExists(kControlPanel));

    program.Page(3);
    SendMessageA(program.Control("chkAttenuation"), BM_CLICK, 0, 0);
    program.Page(1);
    HWND reverb = program.Control("hsbEffect1");
    SendMessageA(reverb, TBM_SETPOS, TRUE, 90);
    SendMessageA(program.main(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 90),
                 reinterpret_cast<LPARAM>(reverb));
    EXPECT_EQ(Text(program.Control("lblEffect1")), "90");
    EXPECT_FALSE(KeyExists(kCustomization));
    EXPECT_FALSE(KeyExists(kControlPanel));

    PostMessageA(program.main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Ended());
}

// ---- Captions that fit ------------------------------------------------------------------

// Clear space a caption keeps inside its control, in pixels, besides the control's own edges.
constexpr int kButtonMargin = 4;  // each side of a push button's text, inside its 2-pixel rim
constexpr int kCheckMark = 17;    // a check box's or option's 13-pixel mark and the gap after it
constexpr int kFrameEnds = 14;    // a frame's caption: its indent and the line after it

// A caption as it is shown: "&&" is one '&', a lone '&' marks the mnemonic and takes no room.
std::string Shown(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// Font handles belong to the process that made them, so the program's controls are measured
// in this process's copy of the dialog font, which the program takes from the same system
// setting; texts in fonts of their own (headings) are left out.
class DialogFont {
  public:
    DialogFont() {
        NONCLIENTMETRICSA metrics = {};
        metrics.cbSize = sizeof metrics;
        if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
            font_ = CreateFontIndirectA(&metrics.lfMessageFont);
        }
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    }
    ~DialogFont() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        if (font_) DeleteObject(font_);
    }
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    SIZE Extent(const std::wstring& text) const {
        SIZE size = {};
        GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }
    // The rectangle a text takes wrapped at a width, as a static text or multi-line button
    // wraps it.
    RECT Wrapped(const std::wstring& text, int width) const {
        RECT r = {0, 0, width, 0};
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_WORDBREAK | DT_LEFT);
        return r;
    }

  private:
    HFONT font_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

std::wstring WideText(HWND hwnd) {
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return text;
}

// The program's texts here are plain ASCII; bytes above it keep their Latin-1 value.
std::wstring Wide(const std::string& text) {
    std::wstring wide;
    for (const char ch : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(ch));
    return wide;
}

// The font most of a window's controls use: the dialog font.
WPARAM CommonFont(HWND window) {
    std::map<WPARAM, int> uses;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        ++uses[static_cast<WPARAM>(SendMessageA(c, WM_GETFONT, 0, 0))];
    }
    WPARAM common = 0;
    int most = 0;
    for (const auto& [font, count] : uses) {
        if (count > most) common = font, most = count;
    }
    return common;
}

// Every text of a window's controls that does not fit its control, one line each; counts
// the texts it measured.
std::string Unfit(HWND window, int& measured) {
    std::ostringstream out;
    const std::string name = Text(window);
    const DialogFont font;
    const WPARAM dialogFont = CommonFont(window);
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (static_cast<WPARAM>(SendMessageA(c, WM_GETFONT, 0, 0)) != dialogFont) continue;
        const std::string cls = ClassOf(c), text = Text(c);
        const std::wstring wide = Wide(Shown(text));
        const LONG style = GetWindowLongA(c, GWL_STYLE);
        RECT client;
        GetClientRect(c, &client);
        const int w = client.right, h = client.bottom;
        auto fail = [&](const std::string& what, const std::string& why, long need, long room) {
            out << name << ": \"" << what << "\" " << why << " (" << need << " in " << room
                << ")\n";
        };
        if (cls == "Static" && !text.empty() && (style & SS_TYPEMASK) == SS_LEFT) {
            ++measured;
            const RECT r = font.Wrapped(wide, w);
            if (r.right > w) fail(text, "is wider than its label", r.right, w);
            if (r.bottom > h) fail(text, "is taller than its label", r.bottom, h);
        } else if (cls == "Button" && !text.empty()) {
            ++measured;
            const LONG type = style & BS_TYPEMASK;
            const SIZE size = font.Extent(wide);
            if (type == BS_GROUPBOX) {
                if (size.cx + kFrameEnds > w) {
                    fail(text, "reaches its frame's edge", size.cx + kFrameEnds, w);
                }
            } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
                // A one-letter button ("?") is square; its letter only has to fit inside.
                const long need = size.cx + 2 * (2 + kButtonMargin);
                if (wide.size() > 1 && need > w) fail(text, "touches its button's edges", need, w);
            } else {
                const RECT r = font.Wrapped(wide, w - kCheckMark);
                if (r.right > w - kCheckMark || r.bottom > h) {
                    fail(text, "runs past its check box", r.right + kCheckMark, w);
                }
            }
        } else if (cls == "ComboBox") {
            // The selection field: the control less its arrow button, its 2-pixel edge and the
            // field's 2-pixel inset on each side (GetComboBoxInfo does not reach into another
            // process under Wine).
            const int room = w - GetSystemMetrics(SM_CXVSCROLL) - 8;
            const int count = static_cast<int>(SendMessageW(c, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t item[256] = {};
                if (SendMessageW(c, CB_GETLBTEXTLEN, i, 0) >= 255) continue;
                SendMessageW(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                ++measured;
                const long need = font.Extent(item).cx;
                if (need > room) {
                    fail(std::string(item, item + wcslen(item)), "is cut off in its list", need,
                         room);
                }
            }
        } else if (cls == "Edit" && !(style & ES_MULTILINE) && !text.empty()) {
            ++measured;
            RECT area = client;
            SendMessageA(c, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
            const long need = font.Extent(WideText(c)).cx;
            if (need > area.right - area.left) {
                fail(text, "is wider than its box", need, area.right - area.left);
            }
        }
    }
    return out.str();
}

TEST_F(Win32Smoke, EveryCaptionFitsItsControlInItsFont) {
    // WPCRSET installed, so that its window stays open.
    SetDword(schema::kWpcrsetParameters, schema::kStart, 2);
    SetDword(schema::kWpcrsetService, schema::kStart, 3);
    Program program;
    ASSERT_TRUE(program.started());
    ASSERT_NE(program.main(), nullptr) << program.Boxes();
    // Every page once: their controls get their windows when first shown.
    for (int page : {4, 3, 2, 1, 0}) program.Page(page);
    int measured = 0;
    std::string unfit = Unfit(program.main(), measured);
    struct Opening {
        int page;
        const char* control;  // a button, or the icon list's entry that opens the window
        const char* caption;
    };
    for (const Opening& o :
         {Opening{4, "cmdEQSettings", "Equalizer Settings"},
          Opening{-1, "cmdAbout", "About Calvenor XP"}, Opening{2, "cmdAboutA3D", "About A3D"},
          Opening{2, "cmdDrvVerHlp", "Driver Version Information"},
          Opening{-1, "cmdReset", "Reset Settings"}, Opening{2, "cmdQuad", "Quad Settings"},
          Opening{0, "cmdWPCRSET", "WPCRSET Configuration"},
          Opening{0, "ListView1", "AC97 Mixer Location"}}) {
        SCOPED_TRACE(o.caption);
        if (o.page >= 0) program.Page(o.page);
        const std::string control = o.control;
        if (control == "ListView1") {
            // The AC97 mixer's entry, with no mixer stored, asks where the mixer is.
            program.DoubleClickEntry(control, 3);
        } else {
            PostMessageA(program.Control(control), BM_CLICK, 0, 0);
        }
        // Quad Settings asks first, and warns once it is open.
        if (control == "cmdQuad") {
            ASSERT_TRUE(program.Answer(IDYES)) << "no question";
        }
        HWND other = nullptr;
        ASSERT_TRUE(Eventually([&] { return (other = program.Find(o.caption)) != nullptr; }))
            << program.Boxes();
        ASSERT_TRUE(Eventually([&] { return IsWindowVisible(other) != FALSE; }));
        if (control == "cmdQuad") {
            ASSERT_TRUE(program.Answer(IDOK)) << "no warning";
        }
        const int before = measured;
        unfit += Unfit(other, measured);
        EXPECT_GT(measured, before) << "no text measured";
        PostMessageA(other, WM_CLOSE, 0, 0);
        ASSERT_TRUE(Eventually(
            [&] { return IsWindowEnabled(program.main()) && IsWindowVisible(program.main()); }));
    }
    EXPECT_EQ(unfit, "");
    EXPECT_GT(measured, 130);
    PostMessageA(program.main(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Ended());
}

TEST_F(Win32Smoke, WindowFramesTicksEscapeAndTheLevelBarsTroughAndWheel) {
    using namespace schema;
    for (const char* key : {kControlPanel, kCustomization, kWpcrsetParameters}) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key, &k), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    SetDword(kCustomization, kAC97PCMOutVol, 8);
    SetDword(kWpcrsetParameters, kStart, 2);
    SetDword(kWpcrsetService, kStart, 3);
    Program program;
    ASSERT_TRUE(program.started());
    ASSERT_NE(program.main(), nullptr) << program.Boxes();
    HWND main = program.main();

    // The main window: a title bar with a close box only.
    const LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_EQ(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_NE(style & WS_SYSMENU, 0);

    // The effect sliders tick both sides of their channel.
    program.Page(1);
    for (const char* id : {"hsbEffect1", "hsbEffect2"}) {
        EXPECT_EQ(GetWindowLongA(program.Control(id), GWL_STYLE) & TBS_BOTH, TBS_BOTH) << id;
    }

    // A click in a level bar's trough pages by its large change, one; the number and the
    // registry follow.
    program.Page(3);
    HWND pcm1 = program.Control("hsbPCM1");
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), reinterpret_cast<LPARAM>(pcm1));
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(pcm1));
    EXPECT_EQ(GetScrollPos(pcm1, SB_CTL), 9);
    EXPECT_EQ(Text(program.Control("lblPCM1")), "9");
    EXPECT_EQ(Dword(kCustomization, kAC97PCMOutVol), 9u);
    // A key's step is reported at once, with no SB_ENDSCROLL after it (as Wine's bar sends).
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), reinterpret_cast<LPARAM>(pcm1));
    EXPECT_EQ(Text(program.Control("lblPCM1")), "10");
    EXPECT_EQ(Dword(kCustomization, kAC97PCMOutVol), 10u);
    // The wheel over it: two notches toward the user, then one away.
    RECT r;
    ASSERT_TRUE(GetWindowRect(pcm1, &r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(main, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), at);
    EXPECT_EQ(GetScrollPos(pcm1, SB_CTL), 12);
    EXPECT_EQ(Text(program.Control("lblPCM1")), "12");
    EXPECT_EQ(Dword(kCustomization, kAC97PCMOutVol), 12u);
    SendMessageA(main, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), at);
    EXPECT_EQ(GetScrollPos(pcm1, SB_CTL), 11);
    EXPECT_EQ(Text(program.Control("lblPCM1")), "11");
    EXPECT_EQ(Dword(kCustomization, kAC97PCMOutVol), 11u);

    // Escape in the main window, as the dialog keys give it: nothing happens.
    PostMessageA(program.Control("chkAttenuation"), WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    Sleep(300);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(program.Ended(300));

    // The WPCRSET window: a fixed single border, not a dialog's frame.
    program.Page(0);
    PostMessageA(program.Control("cmdWPCRSET"), BM_CLICK, 0, 0);
    HWND wpcrset = nullptr;
    ASSERT_TRUE(Eventually([&] { return (wpcrset = program.Find("WPCRSET Configuration")); }))
        << program.Boxes();
    EXPECT_EQ(GetWindowLongA(wpcrset, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(
        GetWindowLongA(wpcrset, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_NE(GetWindowLongA(wpcrset, GWL_STYLE) & WS_CAPTION, 0);
    PostMessageA(wpcrset, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(main) && IsWindowVisible(main); }));

    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.Ended());
}

}  // namespace
