// The title-bar icon of each kind of window as the Win32 adapter makes it: the program's own in
// the main window and in any other of a single border (WPCRSET), none in a dialog's frame
// (About). Read in the program's own process: Wine answers WM_GETICON from no other.
#include <gtest/gtest.h>

#include "dialogs/frm_about.h"
#include "gui/win32/win32_adapter.h"
#include "main_window/frm_main.h"
#include "platform/win32/windows_api.h"
#include "support/local_app.h"
#include "support/own_window_win32.h"
#include "wpcrset/frm_wpcrset.h"

namespace {

HICON SmallIcon(const ui::Form& form) {
    HWND hwnd = testing_support::OwnWindow(form.caption());
    EXPECT_NE(hwnd, nullptr) << form.name() << " has no window";
    return hwnd != nullptr ? reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0))
                           : nullptr;
}

// The icon task switching shows: the window's large one, else its class's.
HICON LargeIcon(const ui::Form& form) {
    HWND hwnd = testing_support::OwnWindow(form.caption());
    if (hwnd == nullptr) return nullptr;
    auto icon = reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0));
    return icon != nullptr ? icon : reinterpret_cast<HICON>(GetClassLongPtrA(hwnd, GCLP_HICON));
}

TEST(Win32TitleBarIcon, MainAndSingleBorderWindowsShowTheProgramsIconDialogsNone) {
    testing_support::LocalApp local;
    ui::App& app = local.app;
    gui::Win32Adapter adapter(app, GetModuleHandleA(nullptr));
    auto& main = app.Open<main_window::FrmMain>();
    auto& about = app.Open<dialogs::FrmAbout>(main);
    auto& wpcrset = app.Open<wpcrset::FrmWPCRSET>(main);
    ASSERT_TRUE(wpcrset.singleBorder);
    ASSERT_FALSE(about.singleBorder);
    EXPECT_NE(SmallIcon(main), nullptr) << "the main window";
    EXPECT_NE(SmallIcon(wpcrset), nullptr) << "WPCRSET";
    EXPECT_EQ(SmallIcon(about), nullptr) << "About";
    EXPECT_NE(LargeIcon(main), nullptr) << "the main window";
    EXPECT_NE(LargeIcon(wpcrset), nullptr) << "WPCRSET";
}

}  // namespace
