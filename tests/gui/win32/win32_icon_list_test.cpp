// The tools' icons on the General page as the list draws them: each in its place under its
// label, in the selected look only while the list has the focus, greyed while it is disabled.
// The list is printed into a bitmap, so what the test reads is what the list paints.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gui/win32/win32_adapter.h"
#include "gui/win32/win32_bitmaps.h"
#include "main_window/frm_main.h"
#include "platform/win32/windows_api.h"
#include "settings/schema.h"
#include "support/local_app.h"
#include "support/own_window_win32.h"
#include "support/visual_styles_win32.h"
#include "ui/screen.h"

namespace {

// 32-bit pixels, top row first.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> bits;
    std::uint32_t At(int x, int y) const {
        return bits[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF;
    }
};

Pixels Read(HBITMAP bitmap) {
    Pixels p;
    BITMAP info = {};
    GetObject(bitmap, sizeof info, &info);
    p.width = info.bmWidth;
    p.height = info.bmHeight;
    p.bits.resize(static_cast<std::size_t>(p.width) * p.height);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = p.width;
    format.bmiHeader.biHeight = -p.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, p.height, p.bits.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return p;
}

// The list's client area as it paints it.
Pixels Print(HWND list) {
    RECT r;
    GetClientRect(list, &r);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    SelectObject(dc, old);
    DeleteDC(dc);
    Pixels p = Read(bitmap);
    DeleteObject(bitmap);
    return p;
}

// Hands out what is waiting (a window's paint comes back until it is painted, so the count is
// bounded rather than waiting for an empty queue).
void Pump() {
    MSG message;
    for (int i = 0; i < 500 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        DispatchMessageA(&message);
    }
}

class Win32IconList : public ::testing::Test {
  protected:
    void SetUp() override {
        char display[256] = {};
        if (GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) {
            GTEST_SKIP() << "no display to open windows on";
        }
        // A machine with the driver, where the list is usable.
        platform::OsVersion xp;
        xp.platformId = 2, xp.major = 5, xp.minor = 1, xp.build = 2600;
        local_.platform.version = xp;
        for (const char* key :
             {schema::kControlPanel, schema::kCustomization, schema::kSpdifEnableList,
              schema::kDriverEqualizer, schema::kAU8830Equalizer, schema::kSpeakerCompensation,
              schema::kRun, schema::kDirectXMedia}) {
            local_.registry.EnsureKey(settings::kHKLM, key);
        }
        // Messages are answered in text, not in boxes that would wait for a click.
        local_.app.SetPrompter(local_.prompter);
        main_ = &local_.app.Open<main_window::FrmMain>();
        main_->Show();
        Pump();
        list_control_ = main_->Find("ListView1");
        ASSERT_NE(list_control_, nullptr);
        HWND window = testing_support::OwnWindow(main_->caption());
        ASSERT_NE(window, nullptr);
        list_ = FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr);
        ASSERT_NE(list_, nullptr);
        size_ = GetSystemMetrics(SM_CXICON);
    }

    // The look of every icon, a strip as the adapter makes it: normal row, then selected row.
    Pixels Strip(COLORREF back, bool grey) const {
        HBITMAP strip = gui::win32::MakeIconStrip(ui::IconPictures(*list_control_), size_, back,
                                                  grey, GetSysColor(COLOR_HIGHLIGHT));
        EXPECT_NE(strip, nullptr);
        Pixels p = Read(strip);
        DeleteObject(strip);
        return p;
    }

    // Where the list drew entry `item`'s icon, compared with a block of the strip; the number
    // of pixels that differ.
    int Differences(const Pixels& drawn, int item, const Pixels& strip, int row) const {
        RECT place = {};
        place.left = LVIR_ICON;
        EXPECT_TRUE(SendMessageA(list_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&place)));
        const int left = place.left + (place.right - place.left - size_) / 2;
        const int top = place.top + (place.bottom - place.top - size_) / 2;
        int differ = 0;
        for (int y = 0; y < size_; ++y) {
            for (int x = 0; x < size_; ++x) {
                if (left + x < 0 || top + y < 0 || left + x >= drawn.width ||
                    top + y >= drawn.height ||
                    drawn.At(left + x, top + y) != strip.At(item * size_ + x, row * size_ + y)) {
                    ++differ;
                }
            }
        }
        return differ;
    }

    // The program's common controls, made first and kept to the end.
    testing_support::VisualStyles styles_;
    testing_support::LocalApp local_;
    gui::Win32Adapter adapter_{local_.app, GetModuleHandleA(nullptr)};
    main_window::FrmMain* main_ = nullptr;
    ui::Control* list_control_ = nullptr;
    HWND list_ = nullptr;
    int size_ = 0;
};

TEST_F(Win32IconList, EachIconIsDrawnInItsPlaceSelectedOnlyWithTheFocus) {
    const int count = static_cast<int>(list_control_->items.size());
    ASSERT_GT(count, 1);
    ASSERT_TRUE(ui::EnabledOnScreen(*list_control_));
    const Pixels strip = Strip(GetSysColor(COLOR_WINDOW), false);
    // The pictures are there to draw, and the selected look is not the normal one.
    int coloured = 0, marked = 0;
    for (int y = 0; y < size_; ++y) {
        for (int x = 0; x < size_ * count; ++x) {
            if (strip.At(x, y) != (GetSysColor(COLOR_WINDOW) & 0xFFFFFF)) ++coloured;
            if (strip.At(x, y) != strip.At(x, y + size_)) ++marked;
        }
    }
    EXPECT_GT(coloured, size_ * count);
    EXPECT_GT(marked, size_ * count / 2);

    Pixels drawn = Print(list_);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(Differences(drawn, i, strip, 0), 0) << list_control_->items[i];
    }

    list_control_->SetValue(2);
    SetFocus(list_);
    Pump();
    ASSERT_EQ(GetFocus(), list_);
    drawn = Print(list_);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(Differences(drawn, i, strip, i == 2 ? 1 : 0), 0) << list_control_->items[i];
    }

    // Selected but not focused: drawn as the others.
    SetFocus(nullptr);
    Pump();
    drawn = Print(list_);
    EXPECT_EQ(Differences(drawn, 2, strip, 0), 0);
}

TEST_F(Win32IconList, ADisabledListGreysItsIconsOnTheDialogFace) {
    const int count = static_cast<int>(list_control_->items.size());
    const Pixels normal = Strip(GetSysColor(COLOR_WINDOW), false);
    const Pixels grey = Strip(GetSysColor(COLOR_BTNFACE), true);
    list_control_->SetEnabled(false);
    Pump();
    ASSERT_FALSE(ui::EnabledOnScreen(*list_control_));
    const Pixels drawn = Print(list_);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(Differences(drawn, i, grey, 0), 0) << list_control_->items[i];
        EXPECT_GT(Differences(drawn, i, normal, 0), size_) << list_control_->items[i];
    }
    list_control_->SetEnabled(true);
    Pump();
    EXPECT_EQ(Differences(Print(list_), 0, normal, 0), 0);
}

}  // namespace
