// The reset window: every area button with its writes in order and key, Reset All as their
// exact sum, the missing-key cases, the speaker picture, and every way of closing it.
#include "main_window/frm_main.h"
#include "reset/frm_reset.h"
#include "settings/schema.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

const std::string kMainUsable = "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n";

std::string Panel(const std::string& name) {
    return std::string(schema::kControlPanel) + "\\" + name;
}
std::string Cust(const std::string& name) {
    return std::string(schema::kCustomization) + "\\" + name;
}
std::string Dw(const std::string& path, int value) {
    return path + "=dword:" + std::to_string(value);
}

struct Area {
    const char* button;
    std::vector<std::string> writes;
};

// The reference defaults by button, in the order each button writes them.
const std::vector<Area>& Areas() {
    static const std::vector<Area> areas = {
        {"cmdA3DType", {Dw(Panel("PrimaryXtalk"), 2)}},
        {"cmdMIDIVoices",
         {Dw(Panel("GamerMode"), 1), Dw(Panel("SoftSynthVoices"), 256),
          Dw(Panel("SoftSynthMode"), 3), Dw(Panel("SoftSynthModeIndex"), 0),
          Dw(Panel("SoftSynth"), 2)}},
        {"cmdMIDIFX",
         {Dw(Panel("ReverbAmount"), 64), Dw(Panel("ChorusAmount"), 64),
          Dw(Panel("AspenWavetableEffect"), 1)}},
        {"cmdDigOut",
         {Dw(Cust("SpdifFrequency"), 48000), Dw(Cust("DetectSpdifOut"), 1),
          Dw(Cust("EnableSpdifOut"), 1)}},
        {"cmdDigIn", {Dw(Cust("DetectSpdifIn"), 0), Dw(Cust("EnableSpdifIn"), 0)}},
        {"cmdAnalogEQ",
         {Dw(Cust("SupportAnalogEQ"), 0), Dw(Panel("AnalogEQSrcLine"), 3),
          Dw(Panel("AnalogEQEnableState"), 0)}},
        {"Command1",
         {Dw(Cust("DisableAC97Codec3DEffect"), 1), Dw(Cust("ST9708LA4RearInversion"), 1),
          Dw(Cust("CorrectLA2"), 1), Dw(Cust("ST9704ATTEN"), 0), Dw(Cust("AC97PCMOutVol"), 8),
          Dw(Cust("AC97PCM2OutVol"), 8), Dw(Cust("AC97MixerFrontOutVol"), 8),
          Dw(Cust("AC97MixerRearOutVol"), 8), Dw(Panel("QuadCodecOutputModeState"), 0),
          Dw(Cust("SetGPIO0InQuad"), 0)}},
        {"cmdAC97Mix", {Panel("AC97MixerLocation") + "=-"}},
    };
    return areas;
}

std::vector<std::string> AllWrites() {
    std::vector<std::string> all;
    for (const Area& area : Areas()) all.insert(all.end(), area.writes.begin(), area.writes.end());
    return all;
}

// Only the writes under one key, in order.
std::vector<std::string> Under(const std::vector<std::string>& writes, const char* key) {
    std::vector<std::string> kept;
    const std::string prefix = std::string(key) + "\\";
    for (const std::string& w : writes) {
        if (w.rfind(prefix, 0) == 0 && w.find('\\', prefix.size()) == std::string::npos) {
            kept.push_back(w);
        }
    }
    return kept;
}

class Reset : public Scenario {
  public:
    void TestBody() override {}

    // A started main window on Windows XP; the load's writes dropped.
    void Ready() {
        WindowsXp();
        DriverKeys();
        Sz(schema::kControlPanel, schema::kAC97MixerLocation, "C:\\Mixer\\ac97mix.exe");
        Start();
        TakeWrites();
    }
    std::string Open() { return Run("click frmMain.cmdReset"); }
    std::string Windows() { return Run("windows"); }
};

TEST_F(Reset, OpensWithoutWritingAndLocksTheMainWindow) {
    Ready();
    EXPECT_EQ(Open(), "");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(Windows(),
              "window frmMain visible=0 enabled=0 caption=\"Calvenor XP\"\n"
              "window frmReset visible=1 enabled=1 caption=\"Reset Settings\"\n");
    const auto& form = *dynamic_cast<reset::FrmReset*>(app_.FindForm("frmReset"));
    EXPECT_EQ(form.width(), 5040);
    EXPECT_EQ(form.height(), 3000);
    EXPECT_FALSE(form.centerOnOwner);
    EXPECT_FALSE(form.singleBorder) << "a dialog frame";
    std::vector<std::string> order;
    for (const auto& c : form.controls()) {
        order.push_back(c->id() + (c->container ? "@" + c->container->name() : "") + " " +
                        c->caption());
        EXPECT_TRUE(c->tooltip.empty()) << c->id();
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{
                  "cmdResetAll Reset All Settings", "Frame1 ", "cmdAC97Mix@Frame1 AC97 Mixer Path",
                  "cmdA3DType@Frame1 A3D Type", "cmdMIDIVoices@Frame1 MIDI Voices",
                  "cmdMIDIFX@Frame1 MIDI Effects", "cmdDigOut@Frame1 Digital Output",
                  "cmdDigIn@Frame1 Digital Input", "cmdAnalogEQ@Frame1 Analog EQ",
                  "Command1@Frame1 AC97 Codec", "cmdOK OK", "Image1 "}));
    // Three columns by three rows inside the frame.
    EXPECT_EQ(form.cmdDigIn->place.left, 3240);
    EXPECT_EQ(form.cmdDigIn->place.top, 720);
    EXPECT_EQ(form.Command1->place.left, 120);
    EXPECT_EQ(form.Command1->place.top, 1200);
    EXPECT_EQ(form.cmdAnalogEQ->place.left, 1680);
    EXPECT_EQ(form.Image1->picture, "reset");
}

TEST_F(Reset, EachAreaWritesItsDefaultsInOrderUnderTheirKeys) {
    Ready();
    Open();
    for (const Area& area : Areas()) {
        EXPECT_EQ(Run(std::string("click frmReset.") + area.button), "") << area.button;
        EXPECT_EQ(TakeWrites(), area.writes) << area.button;
    }
    EXPECT_FALSE(ReadRaw(schema::kControlPanel, schema::kAC97MixerLocation).has_value());
    EXPECT_EQ(ReadDword(schema::kCustomization, schema::kSpdifFrequency), 48000);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kSoftSynthVoices), 256);
    // A second click writes the same again; the deletion finds nothing left to delete.
    for (const Area& area : Areas()) {
        Run(std::string("click frmReset.") + area.button);
        const auto again = TakeWrites();
        if (std::string(area.button) == "cmdAC97Mix") {
            EXPECT_TRUE(again.empty());
        } else {
            EXPECT_EQ(again, area.writes) << area.button;
        }
    }
    EXPECT_FALSE(ReadRaw(schema::kControlPanel, schema::kAC97MixerLocation).has_value());
}

TEST_F(Reset, ResetAllIsExactlyTheSumOfTheAreas) {
    Ready();
    Open();
    Run("click frmReset.cmdResetAll");
    const auto writes = TakeWrites();
    EXPECT_EQ(writes, AllWrites());
    EXPECT_EQ(writes.size(), 28u);
    EXPECT_EQ(Under(writes, schema::kControlPanel).size(), 13u);  // with the deletion
    EXPECT_EQ(Under(writes, schema::kCustomization).size(), 15u);
}

// Without the main window's load (not XP), both keys stay empty until the reset fills them.
TEST_F(Reset, ResetAllOnEmptyKeysLeavesTheTwentySevenDefaults) {
    WindowsVersion(2, 5, 2);
    DriverKeys();
    Start();
    TakeWrites();
    Open();
    Run("click frmReset.cmdResetAll");
    auto expected = AllWrites();
    expected.pop_back();  // no mixer location to delete
    EXPECT_EQ(TakeWrites(), expected);
    EXPECT_EQ(expected.size(), 27u);
    EXPECT_EQ(Under(expected, schema::kControlPanel).size(), 12u);
    EXPECT_EQ(Under(expected, schema::kCustomization).size(), 15u);
    for (const Area& area : Areas()) {
        for (const std::string& w : area.writes) {
            const auto eq = w.find('=');
            const auto slash = w.rfind('\\', eq);
            const std::string key = w.substr(0, slash);
            const std::string name = w.substr(slash + 1, eq - slash - 1);
            if (w.substr(eq) == "=-") {
                EXPECT_FALSE(ReadRaw(key, name).has_value()) << name;
            } else {
                std::uint32_t type = 0;
                ASSERT_TRUE(ReadRaw(key, name, &type).has_value()) << name;
                EXPECT_EQ(type, platform::REG_DWORD) << name;
                EXPECT_EQ(Dw(key + "\\" + name, *ReadDword(key, name)), w);
            }
        }
    }
}

TEST_F(Reset, ResetAllLeavesEverythingElseAlone) {
    Ready();
    Dword(schema::kA3D, schema::kSplashScreen, 1);
    Dword(schema::kControlPanel, schema::kHighPerformanceMIDI, 1);
    Dword(schema::kControlPanel, schema::kVIAFix, 1);
    Dword(schema::kDriverEqualizer, schema::kEqBypass, 1);
    Sz(schema::kRun, schema::kAU30TRAY, "au30tray.exe");
    Key(schema::kWpcrsetParameters);
    Dword(schema::kWpcrsetParameters, schema::kRegCnt, 2);
    Open();
    Run("click frmReset.cmdResetAll");
    // The exact list of writes is the proof: nothing else was touched.
    EXPECT_EQ(TakeWrites(), AllWrites());
    EXPECT_EQ(ReadDword(schema::kA3D, schema::kSplashScreen), 1);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kHighPerformanceMIDI), 1);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAFix), 1);
    EXPECT_EQ(ReadDword(schema::kDriverEqualizer, schema::kEqBypass), 1);
    EXPECT_EQ(ReadSz(schema::kRun, schema::kAU30TRAY), "au30tray.exe");
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, schema::kRegCnt), 2);
}

TEST_F(Reset, DigitalOutputReplacesATextFrequency) {
    Ready();
    Sz(schema::kCustomization, schema::kSpdifFrequency, "44100");
    Open();
    Run("click frmReset.cmdDigOut");
    std::uint32_t type = 0;
    const auto raw = ReadRaw(schema::kCustomization, schema::kSpdifFrequency, &type);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(type, platform::REG_DWORD);
    EXPECT_EQ(*raw, (std::vector<std::uint8_t>{0x80, 0xBB, 0x00, 0x00}));
}

TEST_F(Reset, AMissingKeyLosesOnlyItsOwnWrites) {
    for (const char* missing : {schema::kCustomization, schema::kControlPanel}) {
        Reset s;
        s.WindowsVersion(2, 5, 2);  // no load, so nothing recreates a key
        for (const char* key : {schema::kControlPanel, schema::kCustomization}) {
            if (key != missing) s.Key(key);
        }
        s.Start();
        s.TakeWrites();
        s.Open();
        s.Run("click frmReset.cmdAnalogEQ");
        const char* present =
            missing == schema::kCustomization ? schema::kControlPanel : schema::kCustomization;
        const auto& analog = Areas()[5].writes;
        EXPECT_EQ(s.TakeWrites(), Under(analog, present)) << missing;
        s.Run("click frmReset.cmdResetAll");
        auto expected = Under(AllWrites(), present);
        if (present == schema::kControlPanel) expected.pop_back();  // nothing to delete
        EXPECT_EQ(s.TakeWrites(), expected) << missing;
        EXPECT_FALSE(s.KeyExists(missing)) << missing;
    }
}

TEST_F(Reset, A3DResetShowsTheSatellitePictureAndKeepsTheList) {
    WindowsXp();
    DriverKeys();
    Dword(schema::kControlPanel, schema::kPrimaryXtalk, 3);
    Start();
    ASSERT_TRUE(Visible("frmMain.imgMon"));
    const int listed = Value("frmMain.cboA3DType");
    Open();
    Run("click frmReset.cmdA3DType");
    EXPECT_FALSE(Visible("frmMain.imgPhones"));
    EXPECT_TRUE(Visible("frmMain.imgSat"));
    EXPECT_FALSE(Visible("frmMain.imgMon"));
    EXPECT_FALSE(Visible("frmMain.imgQuad"));
    EXPECT_EQ(Value("frmMain.cboA3DType"), listed);
    Run("click frmReset.cmdOK");
    EXPECT_TRUE(Visible("frmMain.imgSat"));
    EXPECT_FALSE(Visible("frmMain.imgMon"));
}

TEST_F(Reset, PictureChangesEvenWhenTheWriteFails) {
    for (const char* button : {"cmdA3DType", "cmdResetAll"}) {
        Reset s;
        s.WindowsVersion(2, 5, 2);
        s.Start();
        s.Open();
        s.Run(std::string("click frmReset.") + button);
        EXPECT_TRUE(s.TakeWrites().empty()) << button;
        EXPECT_TRUE(s.Visible("frmMain.imgSat")) << button;
        EXPECT_FALSE(s.Visible("frmMain.imgPhones")) << button;
        EXPECT_FALSE(s.Visible("frmMain.imgMon")) << button;
        EXPECT_FALSE(s.Visible("frmMain.imgQuad")) << button;
    }
}

TEST_F(Reset, MidiVoicesShowsThreeHundredTwentyVoicesAfterARestart) {
    WindowsXp();
    DriverKeys();
    Dword(schema::kControlPanel, schema::kSoftSynthModeIndex, 2);
    Start();
    ASSERT_EQ(Value("frmMain.cboWavetableMode"), 2);
    Open();
    Run("click frmReset.cmdMIDIVoices\nclick frmReset.cmdOK");
    // The main window is not reloaded; the next start reads the reset values.
    EXPECT_EQ(Value("frmMain.cboWavetableMode"), 2);
    auto& restarted = app_.Open<main_window::FrmMain>();
    restarted.Show();
    EXPECT_EQ(restarted.midi.cboWavetableMode->value(), 0);
    EXPECT_EQ(restarted.midi.cboWavetableMode->items[0], "320 Voices");
}

TEST_F(Reset, EveryWayOfClosingGivesTheMainWindowBack) {
    for (const char* how : {"click frmReset.cmdOK", "close frmReset"}) {
        Reset s;
        s.Ready();
        s.Open();
        EXPECT_EQ(s.Run(how), "") << how;
        EXPECT_EQ(s.Windows(), kMainUsable) << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
        // It opens again afresh.
        s.Open();
        EXPECT_EQ(s.Run("click frmReset.cmdDigIn"), "") << how;
        s.Run(how);
        EXPECT_EQ(s.Windows(), kMainUsable) << how;
    }
}

}  // namespace
}  // namespace testing_support
