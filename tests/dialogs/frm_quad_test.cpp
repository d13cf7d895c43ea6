// The quad output window: its question and warning, its load with the missing-value
// creation, the two settings and every way of closing it.
#include "settings/schema.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

const std::string kQuestion =
    "message title=\"Information\" icon=none buttons=yesno text=\"These settings may not work "
    "on your card.  Do you wish to continue?\"";
const std::string kWarning =
    "message title=\"Information\" icon=information buttons=ok text=\"The Quad options have "
    "been moved here because they appear to cause all sound to disappear on some systems.  "
    "Only continue if you know how to recover from this.  The AC97 Mixer is the best solution "
    "to get Shared Front and Rear Output.\"\n";

class Quad : public Scenario {
  public:
    void TestBody() override {}

    // A started main window on Windows XP with the driver's keys; the load's writes dropped.
    void Ready() {
        WindowsXp();
        DriverKeys();
        Start();
        TakeWrites();
    }
    std::string Open() { return Run("answer yes\nclick frmMain.cmdQuad"); }
};

std::string Cust(const std::string& rest) {
    return std::string(schema::kCustomization) + "\\" + rest;
}
std::string Panel(const std::string& rest) {
    return std::string(schema::kControlPanel) + "\\" + rest;
}

TEST_F(Quad, NoWritesNothingAndLeavesTheMainWindowUsable) {
    Ready();
    EXPECT_EQ(Run("answer no\nclick frmMain.cmdQuad"), kQuestion + " answer=no\n");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(Run("windows"), "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n");
    // Still usable: the same button can be pressed again at once.
    EXPECT_EQ(Run("click frmMain.cmdQuad"), kQuestion + " answer=no\n");
}

TEST_F(Quad, YesOpensTheWindowHidesAndDisablesTheMainWindowThenWarns) {
    Ready();
    Dword(schema::kControlPanel, schema::kQuadCodecOutputModeState, 0);
    Dword(schema::kCustomization, schema::kSetGPIO0InQuad, 0);
    EXPECT_EQ(Open(), kQuestion + " answer=yes\n" + kWarning);
    EXPECT_EQ(Run("windows"),
              "window frmMain visible=0 enabled=0 caption=\"Calvenor XP\"\n"
              "window frmQuad visible=1 enabled=1 caption=\"Quad Settings\"\n");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(Run("click frmMain.cmdAbout"), "error: frmMain.cmdAbout is disabled or hidden\n");
}

TEST_F(Quad, MissingSharingValueIsCreatedAsZeroAndTheBoxStartsUnchecked) {
    Ready();
    EXPECT_EQ(Open(), kQuestion + " answer=yes\n" + kWarning);
    EXPECT_EQ(TakeWrites(), std::vector<std::string>{Cust("SetGPIO0InQuad=dword:0")});
    EXPECT_EQ(ReadDword(schema::kCustomization, schema::kSetGPIO0InQuad), 0);
    EXPECT_EQ(Value("frmQuad.chkShare"), 0);
}

TEST_F(Quad, StoredSharingValueSetsTheBox) {
    struct Case {
        std::optional<std::uint32_t> dword;
        const char* text;  // stored as REG_SZ when not null
        int checked;
        std::vector<std::string> writes;
    };
    const Case cases[] = {
        {1, nullptr, 1, {Cust("SetGPIO0InQuad=dword:1")}},  // the box's handler stores it back
        {0, nullptr, 0, {}},
        {5, nullptr, 0, {}},
        {0xFFFFFFFF, nullptr, 0, {}},
        {std::nullopt, "yes", 0, {}},
    };
    for (const Case& c : cases) {
        Quad s;
        s.Ready();
        if (c.dword) s.Dword(schema::kCustomization, schema::kSetGPIO0InQuad, *c.dword);
        if (c.text) s.Sz(schema::kCustomization, schema::kSetGPIO0InQuad, c.text);
        s.Open();
        const std::string label = c.text ? c.text : std::to_string(*c.dword);
        EXPECT_EQ(s.Value("frmQuad.chkShare"), c.checked) << label;
        EXPECT_EQ(s.TakeWrites(), c.writes) << label;
    }
}

TEST_F(Quad, WithoutTheCustomizationKeyTheWindowOpensAndWritesNothing) {
    WindowsXp();
    Key(schema::kControlPanel);
    Start();
    TakeWrites();
    EXPECT_EQ(Open(), kQuestion + " answer=yes\n" + kWarning);
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_FALSE(KeyExists(schema::kCustomization));
    EXPECT_EQ(Value("frmQuad.chkShare"), 0);
    EXPECT_EQ(Caption("frmQuad.lblQuad"), "Unknown");
    EXPECT_TRUE(Visible("frmQuad.cmdOK"));
}

TEST_F(Quad, LabelShowsTheStoredModeWhileNeitherOptionIsSelected) {
    struct Case {
        std::optional<std::uint32_t> dword;
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {0, nullptr, "Stereo"},
        {1, nullptr, "Quad"},
        {2, nullptr, "Unknown"},
        {0xFFFFFFFF, nullptr, "Unknown"},
        {std::nullopt, nullptr, "Unknown"},
        {std::nullopt, "quad", "Unknown"},
    };
    for (const Case& c : cases) {
        Quad s;
        s.Ready();
        if (c.dword) s.Dword(schema::kControlPanel, schema::kQuadCodecOutputModeState, *c.dword);
        if (c.text) s.Sz(schema::kControlPanel, schema::kQuadCodecOutputModeState, c.text);
        s.Open();
        const std::string label = c.text ? c.text : c.dword ? std::to_string(*c.dword) : "missing";
        EXPECT_EQ(s.Caption("frmQuad.lblQuad"), c.shown) << label;
        EXPECT_EQ(s.Value("frmQuad.optQuad(0)"), 0) << label;
        EXPECT_EQ(s.Value("frmQuad.optQuad(1)"), 0) << label;
        // Reading the mode writes nothing back.
        for (const std::string& write : s.TakeWrites()) {
            EXPECT_EQ(write.find(schema::kQuadCodecOutputModeState), std::string::npos) << write;
        }
    }
}

TEST_F(Quad, EachChangeIsStoredAtOnce) {
    Ready();
    Dword(schema::kControlPanel, schema::kQuadCodecOutputModeState, 1);
    Dword(schema::kCustomization, schema::kSetGPIO0InQuad, 0);
    Open();
    EXPECT_EQ(Caption("frmQuad.lblQuad"), "Quad");

    Run("click frmQuad.optQuad(0)");
    EXPECT_EQ(TakeWrites(), std::vector<std::string>{Panel("QuadCodecOutputModeState=dword:0")});
    EXPECT_EQ(Caption("frmQuad.lblQuad"), "Stereo");
    EXPECT_EQ(Value("frmQuad.optQuad(0)"), 1);

    // Choosing the option already chosen changes nothing.
    Run("click frmQuad.optQuad(0)");
    EXPECT_TRUE(TakeWrites().empty());

    Run("click frmQuad.optQuad(1)");
    EXPECT_EQ(TakeWrites(), std::vector<std::string>{Panel("QuadCodecOutputModeState=dword:1")});
    EXPECT_EQ(Caption("frmQuad.lblQuad"), "Quad");
    EXPECT_EQ(Value("frmQuad.optQuad(0)"), 0);

    Run("click frmQuad.chkShare\nclick frmQuad.chkShare");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Cust("SetGPIO0InQuad=dword:1"),
                                                      Cust("SetGPIO0InQuad=dword:0")}));
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kQuadCodecOutputModeState), 1);
}

TEST_F(Quad, OkAndTheTitleBarGiveTheMainWindowBackAndTheWindowStartsAfresh) {
    for (const char* how : {"click frmQuad.cmdOK", "close frmQuad"}) {
        Quad s;
        s.Ready();
        s.Dword(schema::kControlPanel, schema::kQuadCodecOutputModeState, 1);
        s.Dword(schema::kCustomization, schema::kSetGPIO0InQuad, 0);
        s.Open();
        s.Run("click frmQuad.optQuad(0)");
        s.TakeWrites();
        EXPECT_EQ(s.Run(how), "") << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
        EXPECT_EQ(s.Run("windows"), "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n")
            << how;
        // Opened again: the load runs again from the registry, with no option selected.
        s.Open();
        EXPECT_EQ(s.Caption("frmQuad.lblQuad"), "Stereo") << how;
        EXPECT_EQ(s.Value("frmQuad.optQuad(0)"), 0) << how;
    }
}

}  // namespace
}  // namespace testing_support
