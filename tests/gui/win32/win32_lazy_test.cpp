// A control gets its window when it is first shown: the controls of a tab page when the page
// is first chosen, a hidden control when it is first made visible. Whichever order that comes
// in, each control shows what the model holds, and the windows stack in the form's order (the
// dialog keys' order and what paints over what), with pictures, frames and the tab control
// underneath. The tooltip window waits for the mouse. Controls on a page stand on its colour.
// Run in the adapter's own process.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/win32/windows_api.h"
#include "settings/schema.h"
#include "support/local_app.h"
#include "support/own_window_win32.h"
#include "support/visual_styles_win32.h"
#include "ui/screen.h"

namespace {

using ui::Kind;

// The value the native control shows, in the model's terms.
int NativeValue(const ui::Control& c, HWND h) {
    switch (c.kind()) {
        case Kind::CheckBox:
        case Kind::Option:
            return SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        case Kind::List:
            return static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0));
        case Kind::ScrollBar:
            return GetScrollPos(h, SB_CTL);
        case Kind::Slider:
            return static_cast<int>(SendMessageA(h, TBM_GETPOS, 0, 0));
        default:
            return c.value();
    }
}

class Win32Lazy : public testing::Test {
  protected:
    void SetUp() override {
        using namespace schema;
        platform::OsVersion xp;
        xp.platformId = 2, xp.major = 5, xp.minor = 1, xp.build = 2600;
        local.platform.version = xp;
        settings::Registry& registry = local.registry;
        for (const char* key : {kControlPanel, kCustomization, kSpdifEnableList, kDriverEqualizer,
                                kAU8830Equalizer, kSpeakerCompensation, kRun, kDirectXMedia}) {
            registry.EnsureKey(settings::kHKLM, key);
        }
        // Values unlike the defaults on pages that a start does not show.
        registry.StoreValue(settings::kHKLM, kCustomization, kAC97PCMOutVol, 13,
                            platform::REG_DWORD);
        registry.StoreValue(settings::kHKLM, kControlPanel, kReverbAmount, 77, platform::REG_DWORD);
        adapter = std::make_unique<gui::Win32Adapter>(local.app, GetModuleHandleA(nullptr));
        // Messages are answered in text, not in boxes that would wait for a click.
        local.app.SetPrompter(local.prompter);
        main = &local.app.Open<main_window::FrmMain>();
        main->Show();
        window = testing_support::OwnWindow(main->caption());
        ASSERT_NE(window, nullptr);
        ASSERT_NE(main->tabs(), nullptr);
        ASSERT_EQ(main->tabs()->value(), 0);
    }

    HWND WindowOf(std::size_t i) const {
        return GetDlgItem(window, gui::kFirstControlId + static_cast<int>(i));
    }

    // The program's common controls, made first and kept to the end.
    testing_support::VisualStyles styles;
    testing_support::LocalApp local;
    std::unique_ptr<gui::Win32Adapter> adapter;
    main_window::FrmMain* main = nullptr;
    HWND window = nullptr;
};

TEST_F(Win32Lazy, ShownInAnyOrderTheyShowTheModelAndStackInTheFormsOrder) {
    ui::Control* tabs = main->tabs();
    const auto& controls = main->controls();
    auto windowOf = [this](std::size_t i) { return WindowOf(i); };
    auto named = [&](const std::string& id) {
        std::size_t i = 0;
        while (i < controls.size() && controls[i]->id() != id) ++i;
        return windowOf(i);
    };
    // Made so far: exactly the controls shown (the first page and those outside the pages).
    auto checkShown = [&](const char* when) {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ui::Control& c = *controls[i];
            if (!ui::ShownOnScreen(c)) continue;
            HWND h = windowOf(i);
            ASSERT_NE(h, nullptr) << c.id() << " " << when;
            EXPECT_EQ(NativeValue(c, h), c.value()) << c.id() << " " << when;
            EXPECT_NE(GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE, 0) << c.id() << " " << when;
        }
    };
    std::size_t hidden = 0;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(windowOf(i) != nullptr, ui::ShownOnScreen(*controls[i])) << controls[i]->id();
        hidden += controls[i]->visible() ? 0 : 1;
    }
    EXPECT_GT(hidden, 0u) << "the test wants a control hidden at the start";
    checkShown("at the start");

    for (int page : {3, 1, 4, 2, 0}) {
        tabs->SetValue(page);
        checkShown(("on page " + std::to_string(page)).c_str());
    }
    tabs->SetValue(3);
    EXPECT_EQ(GetScrollPos(named("hsbPCM1"), SB_CTL), 13);
    tabs->SetValue(1);
    EXPECT_EQ(SendMessageA(named("hsbEffect1"), TBM_GETPOS, 0, 0), 77);

    // The hidden controls, made visible one by one, get their windows in their turn.
    for (const auto& control : controls) {
        if (control->visible()) continue;
        EXPECT_EQ(
            GetDlgItem(window, gui::kFirstControlId + static_cast<int>(&control - controls.data())),
            nullptr)
            << control->id() << " was made while hidden";
        control->SetVisible(true);
    }
    for (int page : {0, 1, 2, 3, 4}) {
        tabs->SetValue(page);
        checkShown(("with the hidden ones shown, on page " + std::to_string(page)).c_str());
    }

    std::size_t windows = 0;
    int last = -1;
    bool under = false;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const int index = GetDlgCtrlID(c) - gui::kFirstControlId;
        ASSERT_GE(index, 0);
        ASSERT_LT(index, static_cast<int>(controls.size()));
        const ui::Control& control = *controls[static_cast<std::size_t>(index)];
        ++windows;
        const Kind kind = control.kind();
        if (kind == Kind::Picture || kind == Kind::Frame || kind == Kind::Tabs) {
            under = true;
            continue;
        }
        EXPECT_FALSE(under) << control.id() << " lies under a picture, frame or the tab control";
        EXPECT_GT(index, last) << control.id() << " is out of the form's order";
        last = index;
    }
    EXPECT_EQ(windows, controls.size());
}

struct TooltipSearch {
    HWND owner, found;
};

BOOL CALLBACK MatchTooltip(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<TooltipSearch*>(p);
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpiA(cls, TOOLTIPS_CLASSA) == 0 && GetWindow(h, GW_OWNER) == s->owner) s->found = h;
    return TRUE;
}

// The tooltip window owned by the window, or null.
HWND TooltipOf(HWND window) {
    TooltipSearch search{window, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(Win32Lazy, TheTooltipWindowComesWithTheMouseAndHoldsTheTipsOfEveryMadeControl) {
    const auto& controls = main->controls();
    auto tipsMade = [&] {
        int count = 0;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if (WindowOf(i) != nullptr && !controls[i]->tooltip.empty()) ++count;
        }
        return count;
    };
    auto mouseComes = [this] {
        SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    EXPECT_EQ(TooltipOf(window), nullptr);
    mouseComes();
    HWND tip = TooltipOf(window);
    ASSERT_NE(tip, nullptr);
    const int atStart = tipsMade();
    EXPECT_GT(atStart, 0);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), atStart);

    std::size_t ok = 0;
    while (ok < controls.size() && controls[ok]->id() != "cmdOK") ++ok;
    ASSERT_NE(WindowOf(ok), nullptr);
    char text[128] = {};
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(WindowOf(ok));
    tool.lpszText = text;
    SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, controls[ok]->tooltip.c_str());

    // A page made later brings its tips; the mouse coming again adds none twice.
    main->tabs()->SetValue(1);
    EXPECT_GT(tipsMade(), atStart);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), tipsMade());
    mouseComes();
    EXPECT_EQ(TooltipOf(window), tip);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), tipsMade());
}

// The colour the tab control itself paints in the middle of its page, drawn off screen.
COLORREF PaintedPage(HWND tabs) {
    RECT client;
    GetClientRect(tabs, &client);
    HDC screen = GetDC(tabs);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageA(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    RECT page = client;
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    const COLORREF painted =
        GetPixel(dc, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(tabs, screen);
    return painted;
}

// Check boxes, options and labels on a page, made whenever their page is first shown, stand
// on the colour the tab control paints its page in (lighter than a dialog's under visual
// styles).
TEST_F(Win32Lazy, ControlsOnAPageStandOnTheColourOfThePage) {
    const auto& controls = main->controls();
    std::size_t tabs = 0;
    while (tabs < controls.size() && controls[tabs].get() != main->tabs()) ++tabs;
    ASSERT_NE(WindowOf(tabs), nullptr);
    ASSERT_TRUE(styles.active());
    const COLORREF page = PaintedPage(WindowOf(tabs));
    ASSERT_NE(page, CLR_INVALID);
    int checked = 0;
    for (int shown : {0, 3, 4}) {
        main->tabs()->SetValue(shown);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ui::Control& c = *controls[i];
            const Kind kind = c.kind();
            if (c.tab != shown || !ui::ShownOnScreen(c) ||
                (kind != Kind::CheckBox && kind != Kind::Option && kind != Kind::Label)) {
                continue;
            }
            HWND h = WindowOf(i);
            ASSERT_NE(h, nullptr) << c.id();
            HDC dc = GetDC(h);
            const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(window, WM_CTLCOLORSTATIC,
                                                                     reinterpret_cast<WPARAM>(dc),
                                                                     reinterpret_cast<LPARAM>(h)));
            // A label over a picture is drawn through, on nothing of its own.
            if (GetBkMode(dc) != TRANSPARENT) {
                ++checked;
                LOGBRUSH fill = {};
                ASSERT_NE(GetObjectA(brush, sizeof fill, &fill), 0) << c.id();
                EXPECT_EQ(fill.lbColor, page) << c.id() << " on page " << shown;
                EXPECT_EQ(GetBkColor(dc), page) << c.id() << " on page " << shown;
            }
            ReleaseDC(h, dc);
        }
    }
    EXPECT_GT(checked, 10);
}

}  // namespace
