// The controls of a tab page get their windows when the page is first shown. Whichever order
// the pages come in, each control shows what the model holds once its page is shown, and the
// windows stack in the form's order (the dialog keys' order and what paints over what), with
// pictures, frames and the tab control underneath. Run in the adapter's own process.
#include <gtest/gtest.h>

#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/windows_api_win32.h"
#include "store/schema.h"
#include "support/local_app.h"
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

TEST(Win32Pages, ShownInAnyOrderTheyShowTheModelAndStackInTheFormsOrder) {
    using namespace schema;
    testing_support::LocalApp local;
    platform::OsVersion xp;
    xp.platformId = 2, xp.major = 5, xp.minor = 1, xp.build = 2600;
    local.platform.version = xp;
    store::Registry& store = local.store;
    for (const char* key : {kControlPanel, kCustomization, kSpdifEnableList, kDriverEqualizer,
                            kAU8830Equalizer, kSpeakerCompensation, kRun, kDirectXMedia}) {
        store.EnsureKey(store::kHKLM, key);
    }
    // Values unlike the defaults on pages that a start does not show.
    store.StoreValue(store::kHKLM, kCustomization, kAC97PCMOutVol, 13, platform::REG_DWORD);
    store.StoreValue(store::kHKLM, kControlPanel, kReverbAmount, 77, platform::REG_DWORD);
    ui::App& app = local.app;
    gui::Win32Adapter adapter(app, GetModuleHandleA(nullptr));
    // Messages are answered in text, not in boxes that would wait for a click.
    app.SetPrompter(local.prompter);
    auto& main = app.Open<main_window::FrmMain>();
    main.Show();
    HWND window = FindWindowA(gui::kFormClass, main.caption().c_str());
    ASSERT_NE(window, nullptr);
    ui::Control* tabs = main.tabs();
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->value(), 0);

    const auto& controls = main.controls();
    auto windowOf = [&](std::size_t i) {
        return GetDlgItem(window, gui::kFirstControlId + static_cast<int>(i));
    };
    auto named = [&](const std::string& id) {
        std::size_t i = 0;
        while (i < controls.size() && controls[i]->id() != id) ++i;
        return windowOf(i);
    };
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const int page = ui::PageOf(*controls[i]);
        EXPECT_EQ(windowOf(i) != nullptr, page <= 0) << controls[i]->id() << " on page " << page;
    }

    for (int page : {3, 1, 4, 2, 0}) {
        tabs->SetValue(page);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const ui::Control& c = *controls[i];
            if (ui::PageOf(c) != page) continue;
            HWND h = windowOf(i);
            ASSERT_NE(h, nullptr) << c.id();
            EXPECT_EQ(NativeValue(c, h), c.value()) << c.id();
            EXPECT_EQ((GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0, ui::ShownOnScreen(c))
                << c.id() << " on page " << page;
        }
    }
    tabs->SetValue(3);
    EXPECT_EQ(GetScrollPos(named("hsbPCM1"), SB_CTL), 13);
    tabs->SetValue(1);
    EXPECT_EQ(SendMessageA(named("hsbEffect1"), TBM_GETPOS, 0, 0), 77);

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

}  // namespace
