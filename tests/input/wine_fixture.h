// The Windows program under Wine driven by the X server's input, in one Wine start: a helper
// beside it under the same Wine server reads its windows and the registry. The gestures are
// spread by job over wine_input_test.cpp (the main window), wine_windows_input_test.cpp (the
// icon list and the windows the main window opens) and wine_keyboard_input_test.cpp (each of
// those windows by the keyboard alone).
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "on_screen.h"
#include "screen.h"
#include "settings/schema.h"
#include "store_view.h"
#include "x_input.h"

namespace input {

inline std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}
inline void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class WineInput : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(x_.Open(&error)) << error;
        const std::string wine = Env("CALVENOR_WINE");
        helper_ = StartHelper({wine, Env("CALVENOR_WINE_HELPER")}, &error);
        ASSERT_TRUE(helper_) << error;
        program_ = fork();
        if (program_ == 0) {
            execlp(wine.c_str(), wine.c_str(), Env("CALVENOR_WINE_EXE").c_str(), nullptr);
            _exit(127);
        }
        ASSERT_GT(program_, 0);
        ASSERT_TRUE(WaitFor(
            [](const Screen& s) {
                const Window* w = s.FindWindow("frmMain");
                return w != nullptr && w->shown;
            },
            30000))
            << "the main window did not come up";
        Settle();
        ASSERT_TRUE(helper_->Take(&stored_, &error)) << error;
        ASSERT_FALSE(stored_.empty());
    }
    void TearDown() override {
        if (program_ > 0 && !Ended(0)) {
            kill(program_, SIGKILL);
            waitpid(program_, nullptr, 0);
        }
        helper_.reset();
    }
    bool Ended(int ms) {
        for (int waited = 0;; waited += 50) {
            int status = 0;
            if (waitpid(program_, &status, WNOHANG) == program_) {
                program_ = -1;
                return true;
            }
            if (waited >= ms) return false;
            Sleep(50);
        }
    }
    Screen Read() {
        std::string text, error;
        Screen s;
        if (helper_->Ask("screen", &text)) s.Parse(text, &error);
        return s;
    }
    bool WaitFor(const std::function<bool(const Screen&)>& test, int ms = 6000) {
        for (int waited = 0; waited < ms; waited += 50) {
            screen_ = Read();
            if (test(screen_)) return true;
            Sleep(50);
        }
        return false;
    }
    // The screen once two readings a while apart agree.
    void Settle() {
        std::string last, now;
        helper_->Ask("screen", &last);
        for (int i = 0; i < 40; ++i) {
            Sleep(150);
            helper_->Ask("screen", &now);
            if (now == last) break;
            last = now;
        }
        screen_ = Read();
    }
    void After(const std::string& gesture, const std::map<std::string, std::string>& writes = {}) {
        Settle();
        Snapshot now;
        std::string error;
        ASSERT_TRUE(helper_->Take(&now, &error)) << error;
        std::map<std::string, std::string> seen;
        for (const Change& c : Changes(stored_, now)) {
            const auto it = now.find(c.where);
            seen[c.where] = it != now.end() ? it->second.Text() : "(none)";
        }
        EXPECT_EQ(seen, writes) << "registry writes after " << gesture;
        stored_ = now;
    }
    const Control& C(const std::string& name) { return OnScreen(screen_, name); }
    void Click(const std::string& name) {
        const Box b = C(name).box;
        x_.Click(b.x + std::min(b.w / 2, 8), b.cy());
    }
    void Level(const std::string& bar, const std::string& label, const std::string& where,
               int value, const std::string& gesture) {
        EXPECT_EQ(C(bar).value, value) << bar << " after " << gesture;
        EXPECT_EQ(C(label).text, std::to_string(value)) << label << " after " << gesture;
        const auto it = stored_.find(where);
        ASSERT_NE(it, stored_.end()) << where;
        EXPECT_EQ(it->second.Text(), Dword(value)) << where << " after " << gesture;
    }
    // The first page by one click on its header, then the arrows to the page asked for.
    void Page(int page) {
        const std::vector<Box> parts = C("frmMain.SSTab1").parts;
        ASSERT_EQ(parts.size(), 5u) << "the tab headers";
        x_.Click(parts[0].cx(), parts[0].cy());
        Settle();
        EXPECT_EQ(C("frmMain.SSTab1").value, 0) << "one click on the first tab header";
        for (int i = 0; i < page; ++i) x_.Key("Right");
        After("tab page " + std::to_string(page));
        EXPECT_EQ(C("frmMain.SSTab1").value, page);
    }
    bool Shown(const std::string& window) const {
        const Window* w = screen_.FindWindow(window);
        return w != nullptr && w->shown;
    }
    // Wine without a window manager takes up to two seconds to hide a window (it waits for
    // a state change no manager makes), and the window handed back shows after it.
    bool WaitShown(const std::string& window) {
        return WaitFor(
            [window](const Screen& s) {
                const Window* w = s.FindWindow(window);
                return w != nullptr && w->shown;
            },
            6000);
    }

    // The gestures, by job (wine_input_test.cpp).
    void TabOrder();
    void CheckBoxesAndLevelBar();
    void MessageBox();
    void EffectSlider();
    void PolyphonyList();
    void OptionsThenFirstTab();
    void EscapeAndCloseBox();
    // wine_windows_input_test.cpp
    void IconListAndMixerWindow();
    void AboutAndWpcrset();
    // wine_keyboard_input_test.cpp
    void OkWindowsByKeyboard();
    void EqualizerByKeyboard();
    void ResetByKeyboard();
    void WpcrsetByKeyboard();
    void QuadByKeyboard();
    void MixerByKeyboard();
    // Tab until the control has the focus; nothing is written on the way.
    void TabTo(const std::string& control);
    // The main window's page by Tab to the tab strip and the arrows.
    void PageByKeys(int page);
    // A window opened by a key on a button of the main window, with the writes its load makes.
    void OpenByKeyboard(const std::string& button, const std::string& key,
                        const std::string& window,
                        const std::map<std::string, std::string>& writes = {});
    // The X keyboard focus to the program's window, as a window manager gives it.
    void KeyboardTo(const std::string& window);
    // A key closed the window and the main window is back, writing nothing.
    void ClosedByKey(const std::string& window, const std::string& key);

    XInput x_;
    std::unique_ptr<HelperView> helper_;
    pid_t program_ = -1;
    Screen screen_;
    Snapshot stored_;
};

}  // namespace input
