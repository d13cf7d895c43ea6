// Check boxes, level bars and sliders under the mouse, the wheel and the keyboard.
#include "input_fixture.h"

namespace input {
namespace {

TEST_F(Input, CheckBoxesByClickSpaceAndMnemonic) {
    ShowTab("AC'97 Controls");
    const std::string st3d = At(schema::kCustomization, schema::kDisableAC97Codec3DEffect);
    const int was = C("frmMain.chkST3D").value;
    Click("frmMain.chkST3D");
    After("click", {{st3d, Dword(1 - was)}});
    EXPECT_EQ(C("frmMain.chkST3D").value, 1 - was);
    EXPECT_TRUE(C("frmMain.chkST3D").focus);
    Agrees("frmMain.chkST3D", "click");

    x_.Key("space");
    After("space", {{st3d, Dword(was)}});
    EXPECT_EQ(C("frmMain.chkST3D").value, was);
    Agrees("frmMain.chkST3D", "space");

    // Alt and the underlined letter act as a click on the box it names.
    const std::string atten = At(schema::kCustomization, schema::kST9704ATTEN);
    const int attenWas = C("frmMain.chkAttenuation").value;
    x_.Key("alt+e");
    After("alt+e", {{atten, Dword(1 - attenWas)}});
    EXPECT_EQ(C("frmMain.chkAttenuation").value, 1 - attenWas);
    EXPECT_TRUE(C("frmMain.chkAttenuation").focus);
    Agrees("frmMain.chkAttenuation", "alt+e");

    // The arrows lead nowhere from a check box, and change nothing.
    x_.Key("Down");
    After("down on a check box");
    EXPECT_TRUE(C("frmMain.chkAttenuation").focus);
}

TEST_F(Input, LevelBarByTroughThumbKeysAndWheel) {
    ShowTab("AC'97 Controls");
    const std::string bar = "frmMain.hsbPCM1", label = "frmMain.lblPCM1";
    const std::string where = At(schema::kCustomization, schema::kAC97PCMOutVol);
    const int start = C(bar).value;
    ASSERT_LT(start, 30);
    // A click in the trough pages by the bar's large change: one step.
    const Box thumb = C(bar).thumb, box = C(bar).box;
    x_.Click(thumb.x + thumb.w + 6, box.cy());
    After("trough right", {{where, Dword(start + 1)}});
    Level(bar, label, where, start + 1, "trough right");
    x_.Click(C(bar).thumb.x - 4, box.cy());
    After("trough left", {{where, Dword(start)}});
    Level(bar, label, where, start, "trough left");

    // The thumb dragged to the right end.
    const Box t = C(bar).thumb;
    x_.Drag(t.cx(), t.cy(), box.x + box.w - 2, t.cy());
    After("thumb dragged right", {{where, Dword(31)}});
    Level(bar, label, where, 31, "thumb dragged right");

    const struct {
        const char* key;
        int to;
    } keys[] = {{"Home", 0}, {"Right", 1}, {"Down", 2}, {"Page_Down", 3},
                {"End", 31}, {"Left", 30}, {"Up", 29},  {"Page_Up", 28}};
    for (const auto& k : keys) {
        x_.Key(k.key);
        After(k.key, {{where, Dword(k.to)}});
        Level(bar, label, where, k.to, k.key);
    }
    // The wheel: down toward the right end, up back; the number and the store follow.
    x_.Wheel(box.cx(), box.cy(), 5);
    After("wheel down", {{where, Dword(29)}});
    Level(bar, label, where, 29, "wheel down");
    x_.Wheel(box.cx(), box.cy(), 4, 2);
    After("wheel up", {{where, Dword(27)}});
    Level(bar, label, where, 27, "wheel up");
}

TEST_F(Input, SliderByTroughThumbKeysAndWheel) {
    ShowTab("MIDI");
    const std::string bar = "frmMain.hsbEffect1", label = "frmMain.lblEffect1";
    const std::string where = At(schema::kControlPanel, schema::kReverbAmount);
    Click(bar);
    screen_ = panel_.Settled();
    x_.Key("End");
    After("End", {{where, Dword(127)}});
    Level(bar, label, where, 127, "End");
    x_.Key("Home");
    After("Home", {{where, Dword(0)}});
    Level(bar, label, where, 0, "Home");
    const Box box = C(bar).box;
    // A click in the channel pages by the large change, five.
    x_.Click(C(bar).thumb.x + C(bar).thumb.w + 20, C(bar).thumb.cy());
    After("channel right", {{where, Dword(5)}});
    Level(bar, label, where, 5, "channel right");
    const struct {
        const char* key;
        int to;
    } keys[] = {{"Right", 6}, {"Page_Down", 11}, {"Left", 10}, {"Page_Up", 5}, {"End", 127}};
    for (const auto& k : keys) {
        x_.Key(k.key);
        After(k.key, {{where, Dword(k.to)}});
        Level(bar, label, where, k.to, k.key);
    }
    const Box t = C(bar).thumb;
    x_.Drag(t.cx(), t.cy(), box.x, t.cy());
    After("thumb dragged left", {{where, Dword(0)}});
    Level(bar, label, where, 0, "thumb dragged left");
    x_.Key("Page_Down");
    After("Page_Down", {{where, Dword(5)}});
    // The wheel moves it by small changes, one way and back again.
    x_.Wheel(box.cx(), box.cy(), 5, 2);
    screen_ = panel_.Settled();
    const int wheeled = C(bar).value;
    EXPECT_TRUE(wheeled == 3 || wheeled == 7) << "wheel down: " << wheeled;
    After("wheel down", {{where, Dword(wheeled)}});
    Level(bar, label, where, wheeled, "wheel down");
    x_.Wheel(box.cx(), box.cy(), 4, 2);
    After("wheel up", {{where, Dword(5)}});
    Level(bar, label, where, 5, "wheel up");
}

}  // namespace
}  // namespace input
