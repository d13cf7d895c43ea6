// Options, lists, tabs, buttons, text boxes and the icon list under the mouse and the
// keyboard; the main window's order of Tab, its Escape and its close box.
#include <vector>

#include "input_fixture.h"

namespace input {
namespace {

const std::string kMain = "frmMain";

// The option of the group that is chosen, "" for none.
std::string Chosen(const Screen& s) {
    std::string chosen;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "frmMain.optDigOut(" + std::to_string(i) + ")";
        const Control* c = s.Find(name);
        if (c != nullptr && c->value == 1) chosen += (chosen.empty() ? "" : "+") + name;
    }
    return chosen;
}

TEST_F(Input, OptionsByClickArrowsAndMnemonic) {
    ShowTab("EQ/Digital I/O");
    const std::string where = At(schema::kCustomization, schema::kSpdifFrequency);
    const struct {
        const char* gesture;
        int option;
        int rate;
    } steps[] = {{"click", 0, 32000}, {"Right", 1, 44100}, {"alt+8", 2, 48000}, {"Left", 1, 44100}};
    for (const auto& s : steps) {
        const std::string gesture = s.gesture;
        if (gesture == "click") {
            Click("frmMain.optDigOut(0)");
        } else {
            x_.Key(gesture);
        }
        const std::string name = "frmMain.optDigOut(" + std::to_string(s.option) + ")";
        After(gesture, {{where, Dword(s.rate)}});
        EXPECT_EQ(Chosen(screen_), name) << gesture;
        EXPECT_TRUE(C(name).focus) << gesture;
        for (int i = 0; i < 3; ++i) Agrees("frmMain.optDigOut(" + std::to_string(i) + ")", gesture);
        EXPECT_EQ(C("frmMain.lblDigOut").text, std::to_string(s.rate)) << gesture;
        Agrees("frmMain.lblDigOut", gesture);
    }
}

TEST_F(Input, ListByDropDownAndKeys) {
    ShowTab("MIDI");
    const char* names[] = {schema::kGamerMode, schema::kSoftSynthVoices, schema::kSoftSynthMode,
                           schema::kSoftSynthModeIndex, schema::kSoftSynth};
    const int rows[3][5] = {{1, 256, 3, 0, 2}, {0, 64, 2, 1, 2}, {0, 0, 0, 2, 0}};
    const char* texts[] = {"320 Voices", "128 Voices", "64 Voices"};
    // The values a choice writes that differ from what the store holds.
    auto writes = [&](int row) {
        std::map<std::string, std::string> w;
        for (int i = 0; i < 5; ++i) {
            const std::string where = At(schema::kControlPanel, names[i]);
            const auto it = stored_.find(where);
            if (it == stored_.end() || it->second.Text() != Dword(rows[row][i])) {
                w[where] = Dword(rows[row][i]);
            }
        }
        return w;
    };
    const std::string list = "frmMain.cboWavetableMode";
    Click(list);
    screen_ = panel_.WaitFor([](const Screen& s) { return !s.Menus().empty(); });
    ASSERT_FALSE(screen_.Menus().empty()) << "the list did not drop down";
    const Item* entry = nullptr;
    for (const Item& item : screen_.Menus().front()->items) {
        if (item.text == "64 Voices") entry = &item;
    }
    ASSERT_NE(entry, nullptr) << "no \"64 Voices\" among " << screen_.Menus().front()->items.size()
                              << " entries";
    x_.Click(entry->box.cx(), entry->box.cy());
    After("choosing from the drop-down", writes(2));
    EXPECT_TRUE(screen_.Menus().empty());
    EXPECT_EQ(C(list).value, 2);
    EXPECT_EQ(C(list).text, "64 Voices");
    Agrees(list, "choosing from the drop-down");

    const struct {
        const char* key;
        int row;
    } keys[] = {{"Up", 1}, {"Home", 0}, {"Down", 1}, {"End", 2}};
    for (const auto& k : keys) {
        const auto expected = writes(k.row);
        x_.Key(k.key);
        After(k.key, expected);
        EXPECT_EQ(C(list).value, k.row) << k.key;
        EXPECT_EQ(C(list).text, texts[k.row]) << k.key;
        Agrees(list, k.key);
    }
}

TEST_F(Input, TabsByClickAndArrowsWriteNothing) {
    const std::string tabs = "frmMain.SSTab1";
    const std::vector<std::string> captions = {"General", "MIDI", "A3D Settings", "AC'97 Controls",
                                               "EQ/Digital I/O"};
    ASSERT_EQ(C(tabs).parts.size(), captions.size());
    for (int i : {2, 4, 0}) {
        const Box part = C(tabs).parts[static_cast<std::size_t>(i)];
        x_.Click(part.cx(), part.cy());
        After("click on " + captions[static_cast<std::size_t>(i)]);
        EXPECT_EQ(C(tabs).value, i);
        EXPECT_EQ(C(tabs).text, captions[static_cast<std::size_t>(i)]);
        Agrees(tabs, "click");
    }
    EXPECT_TRUE(C(tabs).focus);
    const struct {
        const char* key;
        int to;
    } keys[] = {{"Right", 1}, {"Right", 2}, {"Left", 1}, {"Left", 0}, {"Left", 0}};
    for (const auto& k : keys) {
        x_.Key(k.key);
        After(k.key);
        EXPECT_EQ(C(tabs).value, k.to) << k.key;
        Agrees(tabs, k.key);
    }
    // A control of the page shown is on screen; one of another page is not.
    EXPECT_TRUE(C("frmMain.chkTray").shown);
    EXPECT_FALSE(C("frmMain.chkMIDIfx").shown);
}

TEST_F(Input, ButtonsOpenWindowsThatEnterAndEscapeClose) {
    ShowTab("AC'97 Controls");
    Click("frmMain.cmdAC97Help");
    screen_ = panel_.WaitFor([](const Screen& s) { return !s.Boxes().empty(); });
    ASSERT_EQ(screen_.Boxes().size(), 1u);
    EXPECT_EQ(screen_.Boxes().front()->title, "Information");
    // Under load a key can take longer to arrive than the quiet spell After() takes for idle.
    x_.Key("Return");
    panel_.WaitFor([](const Screen& s) { return s.Boxes().empty(); });
    After("Enter on the message");
    EXPECT_TRUE(screen_.Boxes().empty());

    Click("frmMain.cmdAbout");
    screen_ = panel_.WaitFor([](const Screen& s) {
        const Window* w = s.FindWindow("frmAbout");
        return w != nullptr && w->shown;
    });
    After("About");
    ASSERT_NE(screen_.FindWindow("frmAbout"), nullptr);
    EXPECT_TRUE(screen_.FindWindow("frmAbout")->shown);
    // Escape in a window of its own closes it, and the main window is back.
    x_.Key("Escape");
    AfterClosing("frmAbout", "Escape in About");
    EXPECT_TRUE(screen_.FindWindow("frmAbout") == nullptr ||
                !screen_.FindWindow("frmAbout")->shown);
    EXPECT_TRUE(screen_.FindWindow(kMain)->shown);
    EXPECT_TRUE(screen_.FindWindow(kMain)->enabled);
}

TEST_F(Input, TextBoxAndIconList) {
    const std::string list = "frmMain.ListView1";
    ASSERT_GE(C(list).parts.size(), 4u);
    x_.Click(C(list).parts[1].cx(), C(list).parts[1].cy());
    After("click on an entry");
    EXPECT_EQ(C(list).value, 1);
    Agrees(list, "click on an entry");
    for (const auto& [key, to] :
         std::vector<std::pair<const char*, int>>{{"Right", 2}, {"Left", 1}}) {
        x_.Key(key);
        After(key);
        EXPECT_EQ(C(list).value, to) << key;
        Agrees(list, key);
    }
    // The mixer entry opens the window that asks where the mixer is, as no place is stored.
    const Box mixer = C(list).parts[3];
    for (int attempt = 0; attempt < 2; ++attempt) {
        x_.DoubleClick(mixer.cx(), mixer.cy());
        screen_ = panel_.WaitFor([](const Screen& s) {
            const Window* w = s.FindWindow("frmAC97Mixer");
            return w != nullptr && w->shown;
        });
        After("double click on the mixer");
        ASSERT_NE(screen_.FindWindow("frmAC97Mixer"), nullptr);
        const std::string text = "frmAC97Mixer.txtAC97Location";
        // The click puts the caret in the sample text; all of it is typed over.
        Click(text);
        x_.Key("Home");
        x_.Key("shift+End");
        x_.Type("/no/Mixer 2.exe");
        After("typing");
        EXPECT_EQ(C(text).text, "/no/Mixer 2.exe");
        Agrees(text, "typing");
        if (attempt == 0) {
            // Escape presses Cancel: the window goes and nothing is written.
            x_.Key("Escape");
            AfterClosing("frmAC97Mixer", "Escape in the mixer window");
        } else {
            // OK on a path that does not start: the window says so and stores nothing.
            Click("frmAC97Mixer.cmdOK");
            screen_ = panel_.WaitFor([](const Screen& s) { return !s.Boxes().empty(); });
            ASSERT_EQ(screen_.Boxes().size(), 1u);
            x_.Key("Return");
            panel_.WaitFor([](const Screen& s) { return s.Boxes().empty(); });
            After("OK on a bad path");
            x_.Key("Escape");
            AfterClosing("frmAC97Mixer", "Escape after the message");
        }
        EXPECT_TRUE(screen_.FindWindow("frmAC97Mixer") == nullptr ||
                    !screen_.FindWindow("frmAC97Mixer")->shown);
        EXPECT_TRUE(screen_.FindWindow(kMain)->shown);
    }
}

TEST_F(Input, TabOrderEscapeAndCloseBox) {
    // Tab from the tab strip visits the page shown in reading order, then the buttons below.
    const std::vector<std::string> order = {
        "frmMain.SSTab1",    "frmMain.chkPlayA3D", "frmMain.chkA3DSplash",
        "frmMain.ListView1", "frmMain.cmdWPCRSET", "frmMain.chkTray",
        "frmMain.cmdAbout",  "frmMain.cmdOK",      "frmMain.cmdReset"};
    Click("frmMain.chkPlayA3D");
    x_.Key("space");  // the click toggled it: toggle it back
    After("click and space on a check box", {});
    ASSERT_EQ(screen_.Focus(), "frmMain.chkPlayA3D");
    std::size_t at = 1;
    for (std::size_t i = 1; i <= order.size(); ++i) {
        x_.Key("Tab");
        screen_ = panel_.Settled();
        at = (at + 1) % order.size();
        EXPECT_EQ(screen_.Focus(), order[at]) << "Tab " << i;
    }
    for (std::size_t i = 1; i <= order.size(); ++i) {
        x_.Key("shift+Tab");
        screen_ = panel_.Settled();
        at = (at + order.size() - 1) % order.size();
        EXPECT_EQ(screen_.Focus(), order[at]) << "Shift+Tab " << i;
    }
    After("Tab and Shift+Tab");

    // Escape in the main window does nothing: it has no Cancel button.
    x_.Key("Escape");
    After("Escape in the main window");
    EXPECT_TRUE(panel_.Running());
    EXPECT_TRUE(screen_.FindWindow(kMain)->shown);

    // The close box ends the program and writes nothing.
    ASSERT_TRUE(x_.CloseRequest("Calvenor XP"));
    EXPECT_TRUE(panel_.WaitExit(5000));
    After("close box");
}

}  // namespace
}  // namespace input
