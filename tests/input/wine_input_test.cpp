// The Windows program under Wine driven by the X server's input, in one Wine start: a helper
// beside it under the same Wine server reads its controls and the registry. After each gesture
// the control, the number beside it and the registry agree, and nothing else is written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "screen.h"
#include "store/schema.h"
#include "store_view.h"
#include "x_input.h"

namespace input {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}
void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
std::string At(const char* key, const char* name) {
    return SnapshotKey(key, name);
}
std::string Dword(int v) {
    return "dword:" + std::to_string(v);
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
    bool WaitFor(const std::function<bool(const Screen&)>& test, int ms = 3000) {
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
    const Control& C(const std::string& name) {
        static const Control none;
        const Control* c = screen_.Find(name);
        if (c == nullptr) {
            ADD_FAILURE() << name << " is not on screen";
            return none;
        }
        return *c;
    }
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
    // The first page by a click on its header, then the arrows to the page asked for.
    void Page(int page) {
        const Box tabs = C("frmMain.SSTab1").box;
        x_.Click(tabs.x + 12, tabs.y + 8);
        for (int i = 0; i < page; ++i) x_.Key("Right");
        After("tab page " + std::to_string(page));
        EXPECT_EQ(C("frmMain.SSTab1").value, page);
    }

    XInput x_;
    std::unique_ptr<HelperView> helper_;
    pid_t program_ = -1;
    Screen screen_;
    Snapshot stored_;
};

TEST_F(WineInput, MainWindowUnderTheMouseAndKeyboard) {
    using namespace schema;
    // Tab visits the General page in reading order.
    Page(0);
    const std::vector<std::string> order = {"frmMain.chkPlayA3D", "frmMain.chkA3DSplash",
                                            "frmMain.ListView1", "frmMain.cmdWPCRSET",
                                            "frmMain.chkTray"};
    for (const std::string& next : order) {
        x_.Key("Tab");
        Settle();
        EXPECT_EQ(screen_.Focus(), next) << "Tab";
    }
    x_.Key("shift+Tab");
    Settle();
    EXPECT_EQ(screen_.Focus(), "frmMain.cmdWPCRSET") << "Shift+Tab";
    After("Tab and Shift+Tab");

    // Check boxes: a click, Space, and Alt with the underlined letter.
    Page(3);
    const std::string st3d = At(kCustomization, kDisableAC97Codec3DEffect);
    const int was = C("frmMain.chkST3D").value;
    Click("frmMain.chkST3D");
    After("click on a check box", {{st3d, Dword(1 - was)}});
    EXPECT_EQ(C("frmMain.chkST3D").value, 1 - was);
    x_.Key("space");
    After("space on a check box", {{st3d, Dword(was)}});
    EXPECT_EQ(C("frmMain.chkST3D").value, was);
    const std::string atten = At(kCustomization, kST9704ATTEN);
    const int attenWas = C("frmMain.chkAttenuation").value;
    x_.Key("alt+e");
    After("alt+e", {{atten, Dword(1 - attenWas)}});
    EXPECT_EQ(C("frmMain.chkAttenuation").value, 1 - attenWas);

    // The level bar: trough, keys and wheel.
    const std::string bar = "frmMain.hsbPCM1", label = "frmMain.lblPCM1";
    const std::string pcm = At(kCustomization, kAC97PCMOutVol);
    const int start = C(bar).value;
    ASSERT_LT(start, 20);
    const Box box = C(bar).box;
    x_.Click(box.x + box.w - box.h - 4, box.cy());
    After("trough right", {{pcm, Dword(start + 1)}});
    Level(bar, label, pcm, start + 1, "trough right");
    EXPECT_EQ(screen_.Focus(), bar) << "a clicked level bar takes the focus";
    const struct {
        const char* key;
        int to;
    } keys[] = {{"Home", 0}, {"Right", 1}, {"Page_Down", 2}, {"End", 31}, {"Left", 30}};
    for (const auto& k : keys) {
        x_.Key(k.key);
        After(k.key, {{pcm, Dword(k.to)}});
        Level(bar, label, pcm, k.to, k.key);
    }
    x_.Wheel(box.cx(), box.cy(), 4, 2);
    After("wheel up", {{pcm, Dword(28)}});
    Level(bar, label, pcm, 28, "wheel up");
    x_.Wheel(box.cx(), box.cy(), 5);
    After("wheel down", {{pcm, Dword(29)}});
    Level(bar, label, pcm, 29, "wheel down");

    // A button that shows a message; Enter closes it, and nothing is written.
    Click("frmMain.cmdAC97Help");
    EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().size() == 1; }));
    if (!screen_.Boxes().empty()) {
        EXPECT_EQ(screen_.Boxes().front()->title, "Information");
    }
    x_.Key("Return");
    After("Enter on the message");
    EXPECT_TRUE(screen_.Boxes().empty());

    // The effect slider, by the keys.
    Page(1);
    const std::string slider = "frmMain.hsbEffect1";
    const std::string reverb = At(kControlPanel, kReverbAmount);
    Click(slider);
    Settle();
    const struct {
        const char* key;
        int to;
    } slides[] = {{"End", 127}, {"Home", 0}, {"Page_Down", 5}, {"Right", 6}};
    for (const auto& k : slides) {
        x_.Key(k.key);
        After(k.key, {{reverb, Dword(k.to)}});
        Level(slider, "frmMain.lblEffect1", reverb, k.to, k.key);
    }

    // The polyphony list: dropped by a click, the next entry taken with Down and Enter; then
    // Up on the closed list. Each choice writes its row's values that differ.
    const char* names[] = {kGamerMode, kSoftSynthVoices, kSoftSynthMode, kSoftSynthModeIndex,
                           kSoftSynth};
    const int rows[3][5] = {{1, 256, 3, 0, 2}, {0, 64, 2, 1, 2}, {0, 0, 0, 2, 0}};
    auto writes = [&](int row) {
        std::map<std::string, std::string> w;
        for (int i = 0; i < 5; ++i) {
            const std::string where = At(kControlPanel, names[i]);
            const auto it = stored_.find(where);
            if (it == stored_.end() || it->second.Text() != Dword(rows[row][i])) {
                w[where] = Dword(rows[row][i]);
            }
        }
        return w;
    };
    const std::string list = "frmMain.cboWavetableMode";
    const int chosen = C(list).value;
    ASSERT_GE(chosen, 0);
    ASSERT_LT(chosen, 2);
    Click(list);
    Settle();
    x_.Key("Down");
    x_.Key("Return");
    After("Down and Enter in the dropped list", writes(chosen + 1));
    EXPECT_EQ(C(list).value, chosen + 1);
    x_.Key("Up");
    After("Up on the list", writes(chosen));
    EXPECT_EQ(C(list).value, chosen);

    // Options: a click, then the arrow to the next; the rate beside them follows.
    Page(4);
    const std::string rate = At(kCustomization, kSpdifFrequency);
    Click("frmMain.optDigOut(0)");
    After("click on an option", {{rate, Dword(32000)}});
    EXPECT_EQ(C("frmMain.optDigOut(0)").value, 1);
    EXPECT_EQ(C("frmMain.lblDigOut").text, "32000");
    x_.Key("Right");
    After("Right on an option", {{rate, Dword(44100)}});
    EXPECT_EQ(C("frmMain.optDigOut(0)").value, 0);
    EXPECT_EQ(C("frmMain.optDigOut(1)").value, 1);
    EXPECT_EQ(C("frmMain.lblDigOut").text, "44100");

    // Escape leaves the main window open; the close box ends the program, writing nothing.
    x_.Key("Escape");
    After("Escape in the main window");
    EXPECT_FALSE(Ended(500));
    EXPECT_TRUE(screen_.FindWindow("frmMain") != nullptr && screen_.FindWindow("frmMain")->shown);
    ASSERT_TRUE(x_.CloseRequest("Calvenor XP"));
    EXPECT_TRUE(Ended(10000));
    After("close box");
}

}  // namespace
}  // namespace input
