// The Linux window driven by the X server's own input, one program per test: after each
// gesture the control, the text beside it and the store agree, and the store holds nothing the
// gesture did not ask for.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "on_screen.h"
#include "panel.h"
#include "settings/schema.h"
#include "x_input.h"

namespace input {

inline std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

class Input : public ::testing::Test {
  protected:
    Input() : panel_(Env("CALVENOR_INPUT_PROGRAM"), Env("CALVENOR_INPUT_SEED")) {}

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(x_.Open(&error)) << error;
        ASSERT_TRUE(panel_.Start(&error)) << error;
        screen_ = panel_.Settled();
        stored_ = panel_.Store();
        ASSERT_FALSE(stored_.empty()) << "the seed machine's store reads empty";
    }

    // The control on screen; a failure (and a dummy) when the window lacks it.
    const Control& C(const std::string& name) { return OnScreen(screen_, name); }

    // After a gesture: the screen once the program is idle, and the store's changes since the
    // last gesture, which must be exactly `writes` ("key\name" -> text).
    void After(const std::string& gesture, const std::map<std::string, std::string>& writes = {}) {
        screen_ = panel_.Settled();
        const Snapshot now = panel_.Store();
        std::map<std::string, std::string> seen;
        for (const Change& c : Changes(stored_, now)) {
            const auto it = now.find(c.where);
            seen[c.where] = it != now.end() ? it->second.Text() : "(none)";
        }
        EXPECT_EQ(seen, writes) << "store writes after " << gesture;
        stored_ = now;
    }

    // After a gesture that closes `window`: its closing is waited for first, since under load a
    // key can take longer to arrive than the quiet spell After() takes for idle.
    void AfterClosing(const std::string& window, const std::string& gesture) {
        panel_.WaitFor([&window](const Screen& s) {
            const Window* w = s.FindWindow(window);
            return w == nullptr || !w->shown;
        });
        After(gesture);
    }

    // What the widget shows is what the model holds.
    void Agrees(const std::string& name, const std::string& gesture) {
        const Control& c = C(name);
        EXPECT_EQ(c.value, c.modelValue) << name << " value after " << gesture;
        EXPECT_EQ(c.shown, c.modelShown) << name << " shown after " << gesture;
        EXPECT_EQ(c.enabled, c.modelEnabled) << name << " enabled after " << gesture;
        if (c.kind != "iconlist" && c.kind != "scrollbar" && c.kind != "slider") {
            EXPECT_EQ(c.text, c.modelText) << name << " text after " << gesture;
        }
    }

    // A bar or slider at `value`, its number beside it and the stored value the same.
    void Level(const std::string& bar, const std::string& label, const std::string& where,
               int value, const std::string& gesture) {
        Agrees(bar, gesture);
        EXPECT_EQ(C(bar).value, value) << bar << " after " << gesture;
        EXPECT_EQ(C(label).text, std::to_string(C(bar).value)) << label << " after " << gesture;
        const auto it = stored_.find(where);
        ASSERT_NE(it, stored_.end()) << where << " after " << gesture;
        EXPECT_EQ(it->second.Text(), Dword(C(bar).value)) << where << " after " << gesture;
    }

    void ShowTab(const std::string& caption) {
        // A copy: each click reads the screen again, which replaces the control.
        const std::vector<Box> parts = C("frmMain.SSTab1").parts;
        for (const Box& part : parts) {
            if (C("frmMain.SSTab1").text == caption) break;
            x_.Click(part.cx(), part.cy());
            screen_ = panel_.Settled();
        }
        ASSERT_EQ(C("frmMain.SSTab1").text, caption);
        After("showing the tab " + caption);
    }

    void Click(const std::string& name) {
        const Control& c = C(name);
        x_.Click(c.box.cx(), c.box.cy());
    }

    Panel panel_;
    XInput x_;
    Screen screen_;
    Snapshot stored_;
};

}  // namespace input
