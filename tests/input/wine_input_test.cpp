// The main window of the Windows program under Wine, driven by the X server's input. After
// each gesture the control, the number beside it and the registry agree, and nothing else is
// written. One test, so that Wine starts once; the windows the main window opens are driven in
// wine_windows_input_test.cpp.
#include "wine_fixture.h"

namespace input {

using namespace schema;

TEST_F(WineInput, EveryControlKindAndTheWindowsItOpens) {
    TabOrder();
    IconListAndMixerWindow();
    CheckBoxesAndLevelBar();
    MessageBox();
    EffectSlider();
    PolyphonyList();
    OptionsThenFirstTab();
    AboutAndWpcrset();
    OkWindowsByKeyboard();
    EqualizerByKeyboard();
    ResetByKeyboard();
    WpcrsetByKeyboard();
    QuadByKeyboard();
    MixerByKeyboard();
    EscapeAndCloseBox();
}

// Tab visits the General page in reading order.
void WineInput::TabOrder() {
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
}

// Check boxes: a click, Space, and Alt with the underlined letter; then the level bar by its
// trough, thumb, keys and wheel.
void WineInput::CheckBoxesAndLevelBar() {
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

    // The thumb dragged to the left end, then to the middle: the bar reports where it was let
    // go, and the number and the registry follow.
    ASSERT_TRUE(C(bar).hasThumb) << "no thumb in the record";
    Box t = C(bar).thumb;
    ASSERT_FALSE(t.empty());
    x_.Drag(t.cx(), t.cy(), box.x + 1, t.cy());
    After("thumb dragged left", {{pcm, Dword(0)}});
    Level(bar, label, pcm, 0, "thumb dragged left");
    t = C(bar).thumb;
    x_.Drag(t.cx(), t.cy(), box.cx(), t.cy());
    Settle();
    const int middle = C(bar).value;
    EXPECT_GT(middle, 10) << "thumb dragged to the middle";
    EXPECT_LT(middle, 21) << "thumb dragged to the middle";
    After("thumb dragged to the middle", {{pcm, Dword(middle)}});
    Level(bar, label, pcm, middle, "thumb dragged to the middle");
}

// A button that shows a message; Enter closes it, and nothing is written.
void WineInput::MessageBox() {
    Click("frmMain.cmdAC97Help");
    EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().size() == 1; }));
    if (!screen_.Boxes().empty()) {
        EXPECT_EQ(screen_.Boxes().front()->title, "Information");
    }
    x_.Key("Return");
    After("Enter on the message");
    EXPECT_TRUE(screen_.Boxes().empty());
}

// The effect slider, by the keys and by its thumb.
void WineInput::EffectSlider() {
    Page(1);
    const std::string slider = "frmMain.hsbEffect1", label = "frmMain.lblEffect1";
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
        Level(slider, label, reverb, k.to, k.key);
    }
    ASSERT_TRUE(C(slider).hasThumb) << "no thumb in the record";
    const Box box = C(slider).box;
    Box t = C(slider).thumb;
    ASSERT_FALSE(t.empty());
    x_.Drag(t.cx(), t.cy(), box.x + box.w - 1, t.cy());
    After("thumb dragged right", {{reverb, Dword(127)}});
    Level(slider, label, reverb, 127, "thumb dragged right");
    t = C(slider).thumb;
    x_.Drag(t.cx(), t.cy(), box.cx(), t.cy());
    Settle();
    const int middle = C(slider).value;
    EXPECT_GT(middle, 40) << "thumb dragged to the middle";
    EXPECT_LT(middle, 88) << "thumb dragged to the middle";
    After("thumb dragged to the middle", {{reverb, Dword(middle)}});
    Level(slider, label, reverb, middle, "thumb dragged to the middle");
}

// The polyphony list: dropped by a click, the next entry taken with Down and Enter; then Up on
// the closed list. Each choice writes its row's values that differ.
void WineInput::PolyphonyList() {
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
}

// Options: a click, then the arrow to the next; the rate beside them follows. Then one click
// on the first tab header, with the option still focused, shows the first page.
void WineInput::OptionsThenFirstTab() {
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
    EXPECT_EQ(screen_.Focus(), "frmMain.optDigOut(1)");
    Page(0);
    EXPECT_TRUE(C("frmMain.chkTray").shown);
    EXPECT_FALSE(C("frmMain.optDigOut(1)").shown);
}

// Escape leaves the main window open; the close box ends the program, writing nothing.
void WineInput::EscapeAndCloseBox() {
    x_.Key("Escape");
    After("Escape in the main window");
    EXPECT_FALSE(Ended(500));
    EXPECT_TRUE(Shown("frmMain"));
    ASSERT_TRUE(x_.CloseRequest("Calvenor XP"));
    EXPECT_TRUE(Ended(10000));
    After("close box");
}

}  // namespace input
