// The icon list of the General page and the windows the main window opens, under the X
// server's input: the AC97 mixer location window and its text box, About, and WPCRSET.
#include "wine_fixture.h"

namespace input {

// A click, the arrows and a double-click on the tools; the mixer entry opens the window that
// asks where the mixer is, as no place is stored. Its text box takes typing; Escape, and OK on
// a path that does not start, store nothing.
void WineInput::IconListAndMixerWindow() {
    const std::string list = "frmMain.ListView1";
    ASSERT_GE(C(list).parts.size(), 4u) << "the icon list's entries";
    x_.Click(C(list).parts[1].cx(), C(list).parts[1].cy());
    After("click on an entry");
    EXPECT_EQ(C(list).value, 1);
    EXPECT_EQ(screen_.Focus(), list);
    for (const auto& [key, to] :
         std::vector<std::pair<const char*, int>>{{"Right", 2}, {"Left", 1}, {"Right", 2}}) {
        x_.Key(key);
        After(key);
        EXPECT_EQ(C(list).value, to) << key;
    }
    const std::string text = "frmAC97Mixer.txtAC97Location";
    for (int attempt = 0; attempt < 2; ++attempt) {
        ASSERT_GE(C(list).parts.size(), 4u) << "the icon list's entries";
        const Box mixer = C(list).parts[3];
        x_.DoubleClick(mixer.cx(), mixer.cy());
        EXPECT_TRUE(WaitShown("frmAC97Mixer")) << "the double click did not open the mixer";
        After("double click on the mixer");
        ASSERT_TRUE(Shown("frmAC97Mixer"));
        EXPECT_FALSE(Shown("frmMain")) << "the mixer window stands in for the main window";
        EXPECT_EQ(C(text).text, "Enter the program path here - i.e. C:\\AC97Mix\\AC97Mixer.exe");
        // The click puts the caret in the sample text; all of it is typed over.
        Click(text);
        x_.Key("Home");
        x_.Key("shift+End");
        x_.Type("/no/Mixer 2.exe");
        After("typing");
        EXPECT_EQ(C(text).text, "/no/Mixer 2.exe");
        EXPECT_EQ(screen_.Focus(), text);
        if (attempt == 0) {
            // Escape presses Cancel: the window goes and nothing is written.
            x_.Key("Escape");
            EXPECT_TRUE(WaitShown("frmMain")) << "Escape in the mixer window";
            After("Escape in the mixer window");
        } else {
            Click("frmAC97Mixer.cmdOK");
            EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().size() == 1; }))
                << "no message for a path that does not start";
            if (!screen_.Boxes().empty()) {
                bool said = false;
                for (const Item& item : screen_.Boxes().front()->items) {
                    said = said || item.text.find("You haven't entered a valid path.") == 0;
                }
                EXPECT_TRUE(said) << "the message for a bad path";
            }
            x_.Key("Return");
            After("OK on a bad path");
            EXPECT_TRUE(screen_.Boxes().empty());
            EXPECT_TRUE(Shown("frmAC97Mixer")) << "the path can be corrected";
            EXPECT_EQ(C(text).text, "/no/Mixer 2.exe");
            x_.Key("Escape");
            EXPECT_TRUE(WaitShown("frmMain")) << "Escape after the message";
            After("Escape after the message");
        }
        EXPECT_FALSE(Shown("frmAC97Mixer"));
        EXPECT_TRUE(Shown("frmMain"));
    }
}

// About opens over the main window, which it disables, with the focus on its button; Enter
// and Escape each close it. The WPCRSET window stands in for the main window, and its close
// box hands the main window back. (Their title-bar icons are read in the program's own
// process, by win32_icons_win32_test.cpp: Wine answers WM_GETICON from no other.)
void WineInput::AboutAndWpcrset() {
    for (const char* key : {"Return", "Escape"}) {
        Click("frmMain.cmdAbout");
        EXPECT_TRUE(WaitShown("frmAbout")) << "About did not open";
        After("About");
        ASSERT_TRUE(Shown("frmAbout"));
        ASSERT_TRUE(Shown("frmMain")) << "About opens over the main window";
        EXPECT_FALSE(screen_.FindWindow("frmMain")->enabled) << "About holds the main window";
        EXPECT_TRUE(WaitFor([](const Screen& s) {
            const Control* ok = s.Find("frmAbout.cmdOK");
            return ok != nullptr && ok->focus;
        })) << "About opens on its button";
        x_.Key(key);
        EXPECT_TRUE(WaitFor([](const Screen& s) {
            const Window* main = s.FindWindow("frmMain");
            return s.FindWindow("frmAbout") == nullptr && main != nullptr && main->enabled;
        })) << key
            << " in About";
        After(std::string(key) + " in About");
        EXPECT_FALSE(Shown("frmAbout")) << key;
        EXPECT_TRUE(Shown("frmMain")) << key;
        EXPECT_TRUE(screen_.FindWindow("frmMain") != nullptr &&
                    screen_.FindWindow("frmMain")->enabled)
            << key;
    }

    // Opening it stores the VIA settings as off where none is stored yet, and nothing else.
    std::map<std::string, std::string> first;
    for (const char* name : {schema::kVIAFix, schema::kVIAAGP}) {
        const std::string where = At(schema::kControlPanel, name);
        if (stored_.find(where) == stored_.end()) first[where] = Dword(0);
    }
    Click("frmMain.cmdWPCRSET");
    EXPECT_TRUE(WaitShown("frmWPCRSET")) << "WPCRSET did not open";
    After("WPCRSET", first);
    ASSERT_TRUE(Shown("frmWPCRSET"));
    EXPECT_FALSE(Shown("frmMain"));
    ASSERT_TRUE(x_.CloseRequest("WPCRSET Configuration"));
    EXPECT_TRUE(WaitShown("frmMain")) << "the close box of WPCRSET";
    After("close box of WPCRSET");
    EXPECT_FALSE(Shown("frmWPCRSET"));
}

}  // namespace input
