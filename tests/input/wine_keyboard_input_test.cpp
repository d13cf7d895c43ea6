// Every window the main window opens, driven by the keyboard alone once it is open: Tab to a
// control, Space or an arrow on it, Enter and Escape, the registry read after each key. They
// are opened by the keyboard too, but for the AC97 mixer location window, which only a double
// click on the mixer's icon opens.
#include <tuple>

#include "equalizer/coef_sets.h"
#include "wine_fixture.h"

namespace input {

using namespace schema;

namespace {

// A reset button's defaults, as "key\name" -> the value it writes.
using Defaults = std::map<std::string, std::string>;

Defaults DigitalOutputDefaults() {
    return {{At(kCustomization, kSpdifFrequency), Dword(48000)},
            {At(kCustomization, kDetectSpdifOut), Dword(1)},
            {At(kCustomization, kEnableSpdifOut), Dword(1)}};
}

Defaults CodecDefaults() {
    return {{At(kCustomization, kDisableAC97Codec3DEffect), Dword(1)},
            {At(kCustomization, kST9708LA4RearInversion), Dword(1)},
            {At(kCustomization, kCorrectLA2), Dword(1)},
            {At(kCustomization, kST9704ATTEN), Dword(0)},
            {At(kCustomization, kAC97PCMOutVol), Dword(8)},
            {At(kCustomization, kAC97PCM2OutVol), Dword(8)},
            {At(kCustomization, kAC97MixerFrontOutVol), Dword(8)},
            {At(kCustomization, kAC97MixerRearOutVol), Dword(8)},
            {At(kControlPanel, kQuadCodecOutputModeState), Dword(0)},
            {At(kCustomization, kSetGPIO0InQuad), Dword(0)}};
}

}  // namespace

void WineInput::TabTo(const std::string& control) {
    const std::string window = control.substr(0, control.find('.'));
    for (int i = 0; i < 40 && screen_.Focus() != control; ++i) {
        const std::string from = screen_.Focus();
        x_.Key("Tab");
        ASSERT_TRUE(WaitFor([&from](const Screen& s) { return s.Focus() != from; }, 3000))
            << "Tab left the focus on \"" << from << "\"";
        ASSERT_EQ(screen_.Focus().rfind(window + ".", 0), 0u)
            << "Tab left " << window << " for \"" << screen_.Focus() << "\"";
    }
    ASSERT_EQ(screen_.Focus(), control) << "Tab never reached it";
    After("Tab to " + control);
}

void WineInput::PageByKeys(int page) {
    TabTo("frmMain.SSTab1");
    while (C("frmMain.SSTab1").value != page) {
        const int now = C("frmMain.SSTab1").value;
        x_.Key(now < page ? "Right" : "Left");
        Settle();
        ASSERT_NE(C("frmMain.SSTab1").value, now) << "an arrow on the tab strip";
    }
    After("arrows to page " + std::to_string(page));
}

// Wine, with no window manager, leaves the X keyboard focus where it was; a window manager
// gives it to the window that is mapped. Given here, once the window shows.
void WineInput::KeyboardTo(const std::string& window) {
    const Window* w = screen_.FindWindow(window);
    ASSERT_NE(w, nullptr) << window;
    ASSERT_TRUE(x_.GiveFocus(w->title)) << w->title;
}

void WineInput::OpenByKeyboard(const std::string& button, const std::string& key,
                               const std::string& window,
                               const std::map<std::string, std::string>& writes) {
    TabTo("frmMain." + button);
    x_.Key(key);
    EXPECT_TRUE(WaitShown(window)) << key << " on " << button;
    After(key + " on " + button, writes);
    ASSERT_TRUE(Shown(window));
    KeyboardTo(window);
}

void WineInput::ClosedByKey(const std::string& window, const std::string& key) {
    EXPECT_TRUE(WaitFor([window](const Screen& s) {
        const Window* main = s.FindWindow("frmMain");
        const Window* w = s.FindWindow(window);
        return (w == nullptr || !w->shown) && main != nullptr && main->shown && main->enabled;
    })) << key
        << " in " << window;
    After(key + " in " + window);
    EXPECT_FALSE(Shown(window)) << key;
    ASSERT_TRUE(Shown("frmMain")) << key;
    KeyboardTo("frmMain");
}

// The windows of one OK button, each closed once by Space, Enter and Escape.
void WineInput::OkWindowsByKeyboard() {
    const struct {
        int page;  // -1: the button is below the pages
        const char* button;
        const char* window;
    } windows[] = {{-1, "cmdAbout", "frmAbout"},
                   {2, "cmdAboutA3D", "frmAboutA3D"},
                   {2, "cmdDrvVerHlp", "frmDrvVer"}};
    for (const auto& w : windows) {
        if (w.page >= 0) PageByKeys(w.page);
        for (const char* key : {"space", "Return", "Escape"}) {
            // Opened by the other of Space and Enter.
            OpenByKeyboard(w.button, key == std::string("space") ? "Return" : "space", w.window);
            const std::string ok = std::string(w.window) + ".cmdOK";
            EXPECT_TRUE(WaitFor([&ok](const Screen& s) { return s.Focus() == ok; }))
                << w.window << " opens on its button";
            x_.Key("Tab");
            After(std::string("Tab in ") + w.window);
            EXPECT_EQ(screen_.Focus(), ok) << "Tab keeps the focus on the one button";
            x_.Key(key);
            ClosedByKey(w.window, key);
        }
    }
}

// The equalizer: a list and the options by arrows, OK by Enter; opened again, Escape.
void WineInput::EqualizerByKeyboard() {
    PageByKeys(4);
    // Opening shows the stored preset, and its handler writes the preset's coefficients.
    const auto stored = [this](const char* key, const char* name) {
        const auto it = stored_.find(At(key, name));
        return it != stored_.end() ? it->second.Text() : "(none)";
    };
    ASSERT_EQ(stored(kAU8830Equalizer, kPresetNumber), Dword(0)) << "the seed's preset, Rock";
    const equalizer::CoefBytes rock =
        equalizer::Serialize(equalizer::Music(equalizer::MusicSet::Rock));
    Setting set;
    set.type = 3;
    set.data.assign(rock.begin(), rock.end());
    std::map<std::string, std::string> opening;
    if (stored(kDriverEqualizer, kCoefSet0) != set.Text()) {
        opening[At(kDriverEqualizer, kCoefSet0)] = set.Text();
    }
    OpenByKeyboard("cmdEQSettings", "space", "frmEQ", opening);

    // The analog EQ line, one entry down (up from the last); each entry writes its line.
    const std::string list = "frmEQ.cboAnalogEQ";
    TabTo(list);
    const int was = C(list).value;
    ASSERT_GE(was, 0);
    const int now = was < 6 ? was + 1 : was - 1;
    const struct {
        int support, line, enable;
    } lines[] = {{0, 3, 0}, {1, 0, 1}, {1, 1, 1}, {1, 2, 1}, {1, 3, 1}, {1, 4, 1}, {1, 5, 1}};
    std::map<std::string, std::string> writes;
    for (const auto& [key, name, value] :
         {std::tuple{kCustomization, kSupportAnalogEQ, lines[now].support},
          std::tuple{kControlPanel, kAnalogEQSrcLine, lines[now].line},
          std::tuple{kControlPanel, kAnalogEQEnableState, lines[now].enable}}) {
        if (stored(key, name) != Dword(value)) writes[At(key, name)] = Dword(value);
    }
    x_.Key(was < 6 ? "Down" : "Up");
    After("an arrow on the analog EQ list", writes);
    EXPECT_EQ(C(list).value, now);

    // The equalizer's switch: Tab comes to the option chosen, an arrow chooses the other.
    const std::string bypass = At(kDriverEqualizer, kEqBypass);
    const int off = stored(kDriverEqualizer, kEqBypass) == Dword(1) ? 1 : 0;
    const std::string chosen = "frmEQ.optEQ(" + std::to_string(off) + ")";
    TabTo(chosen);
    EXPECT_EQ(C(chosen).value, 1);
    x_.Key("Right");
    After("Right on the equalizer's switch", {{bypass, Dword(1 - off)}});
    EXPECT_EQ(C("frmEQ.optEQ(" + std::to_string(1 - off) + ")").value, 1);
    x_.Key("Left");
    After("Left on the equalizer's switch", {{bypass, Dword(off)}});

    TabTo("frmEQ.cmdOK");
    x_.Key("Return");
    ClosedByKey("frmEQ", "Return");
    OpenByKeyboard("cmdEQSettings", "Return", "frmEQ");
    x_.Key("Escape");
    ClosedByKey("frmEQ", "Escape");
}

// Reset: one area's button by Space, another by Enter, each writing its defaults; Escape.
void WineInput::ResetByKeyboard() {
    OpenByKeyboard("cmdReset", "space", "frmReset");
    EXPECT_FALSE(Shown("frmMain")) << "Reset stands in for the main window";
    const auto differing = [this](const Defaults& defaults) {
        Defaults writes;
        for (const auto& [where, value] : defaults) {
            const auto it = stored_.find(where);
            if (it == stored_.end() || it->second.Text() != value) writes[where] = value;
        }
        return writes;
    };
    TabTo("frmReset.cmdDigOut");
    Defaults writes = differing(DigitalOutputDefaults());
    EXPECT_FALSE(writes.empty()) << "the rate was left at 44100";
    x_.Key("space");
    After("Space on Digital Output", writes);
    TabTo("frmReset.Command1");
    writes = differing(CodecDefaults());
    EXPECT_FALSE(writes.empty()) << "the level bar was left in its middle";
    x_.Key("Return");
    After("Enter on AC97 Codec", writes);
    EXPECT_TRUE(Shown("frmReset")) << "a reset keeps the window";
    x_.Key("Escape");
    ClosedByKey("frmReset", "Escape");
}

// WPCRSET: its start option by the arrows, OK by Enter; opened again, Escape.
void WineInput::WpcrsetByKeyboard() {
    PageByKeys(0);
    OpenByKeyboard("cmdWPCRSET", "space", "frmWPCRSET");
    const std::string start = At(kWpcrsetParameters, kStart);
    const auto it = stored_.find(start);
    ASSERT_NE(it, stored_.end()) << "WPCRSET's start";
    // Start (1) is the first option, Stop (0) the second.
    const int first = it->second.Text() == Dword(1) ? 0 : 1;
    const std::string chosen = "frmWPCRSET.optWPCRSET(" + std::to_string(first) + ")";
    TabTo(chosen);
    x_.Key("Right");
    After("Right on WPCRSET's start", {{start, Dword(first == 0 ? 0 : 1)}});
    EXPECT_EQ(C("frmWPCRSET.optWPCRSET(" + std::to_string(1 - first) + ")").value, 1);
    x_.Key("Left");
    After("Left on WPCRSET's start", {{start, Dword(first == 0 ? 1 : 0)}});
    TabTo("frmWPCRSET.Command1");
    x_.Key("Return");
    ClosedByKey("frmWPCRSET", "Return");
    OpenByKeyboard("cmdWPCRSET", "Return", "frmWPCRSET");
    x_.Key("Escape");
    ClosedByKey("frmWPCRSET", "Escape");
}

// Quad Settings: Enter answers its question and closes its warning; the mode by the arrows,
// the jacks' box by Space, OK by Enter; opened again, Escape.
void WineInput::QuadByKeyboard() {
    PageByKeys(2);
    const std::string mode = At(kControlPanel, kQuadCodecOutputModeState);
    const std::string share = At(kCustomization, kSetGPIO0InQuad);
    for (const char* close : {"Return", "Escape"}) {
        TabTo("frmMain.cmdQuad");
        x_.Key("space");
        ASSERT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().size() == 1; }))
            << "the question before Quad Settings";
        x_.Key("Return");  // Yes, the default
        ASSERT_TRUE(WaitFor([](const Screen& s) {
            const Window* quad = s.FindWindow("frmQuad");
            return quad != nullptr && quad->shown && s.Boxes().size() == 1;
        })) << "Quad Settings and its warning";
        After("Enter on the question");
        KeyboardTo("frmQuad");
        x_.Key("Return");
        EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().empty(); }))
            << "Enter on the warning";
        After("Enter on the warning");
        ASSERT_TRUE(Shown("frmQuad"));
        EXPECT_FALSE(Shown("frmMain"));
        if (std::string(close) == "Return") {
            ASSERT_EQ(stored_.count(mode), 1u);
            const int quad = stored_[mode].Text() == Dword(1) ? 1 : 0;
            TabTo("frmQuad.optQuad(" + std::to_string(quad) + ")");
            x_.Key(quad == 0 ? "Right" : "Left");
            After("an arrow on the mode", {{mode, Dword(1 - quad)}});
            EXPECT_EQ(C("frmQuad.lblQuad").text, quad == 0 ? "Quad" : "Stereo");
            x_.Key(quad == 0 ? "Left" : "Right");
            After("the arrow back", {{mode, Dword(quad)}});
            EXPECT_EQ(C("frmQuad.lblQuad").text, quad == 0 ? "Stereo" : "Quad");
            TabTo("frmQuad.chkShare");
            const int shared = C("frmQuad.chkShare").value;
            x_.Key("space");
            After("Space on the jacks' box", {{share, Dword(1 - shared)}});
            x_.Key("space");
            After("Space again on the jacks' box", {{share, Dword(shared)}});
            TabTo("frmQuad.cmdOK");
        }
        x_.Key(close);
        ClosedByKey("frmQuad", close);
    }
}

// The AC97 mixer location window: its help by Space and Enter, OK by Enter on the sample text,
// which does not start, then Escape.
void WineInput::MixerByKeyboard() {
    PageByKeys(0);
    const std::string list = "frmMain.ListView1";
    ASSERT_GE(C(list).parts.size(), 4u) << "the icon list's entries";
    x_.DoubleClick(C(list).parts[3].cx(), C(list).parts[3].cy());
    EXPECT_TRUE(WaitShown("frmAC97Mixer")) << "the double click did not open the mixer";
    After("double click on the mixer");
    KeyboardTo("frmAC97Mixer");
    TabTo("frmAC97Mixer.cmdHelp");
    x_.Key("space");
    EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().size() == 1; })) << "no help";
    After("Space on the help button");
    x_.Key("Return");
    EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().empty(); })) << "help stays";
    After("Enter on the help");
    TabTo("frmAC97Mixer.cmdOK");
    x_.Key("Return");
    EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().size() == 1; }))
        << "no message for a path that does not start";
    After("Enter on OK");
    x_.Key("Return");
    EXPECT_TRUE(WaitFor([](const Screen& s) { return s.Boxes().empty(); }));
    After("Enter on the message");
    EXPECT_TRUE(Shown("frmAC97Mixer")) << "the path can be corrected";
    x_.Key("Escape");
    ClosedByKey("frmAC97Mixer", "Escape");
}

}  // namespace input
