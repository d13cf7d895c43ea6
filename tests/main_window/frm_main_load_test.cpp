// The settings load: what it reads, creates and writes back, and the state it leaves the
// main window in, in both its start-up and its override form.
#include <algorithm>

#include "settings/schema.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

using schema::kA3D;
using schema::kControlPanel;
using schema::kCustomization;
using schema::kRun;

std::string Dw(const char* key, const char* name, int value) {
    return std::string(key) + "\\" + name + "=dword:" + std::to_string(value);
}

platform::FixedFileVersion Version(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                   std::uint32_t d) {
    return {(a << 16) | b, (c << 16) | d};
}

class Load : public Scenario {
  public:
    void TestBody() override {}

    // Starts on Windows XP, or on Windows Server 2003 followed by the override.
    void StartIn(bool overrideForm) {
        if (overrideForm) {
            WindowsVersion(2, 5, 2);
            Start();
            EXPECT_TRUE(TakeWrites().empty()) << "the refused gate reads nothing";
            Run("click frmMain.cmdOverride");
        } else {
            WindowsXp();
            Start();
        }
    }

    // The one speaker picture that is visible, or "" when none or several are.
    std::string VisibleSpeaker() {
        std::string shown;
        for (const char* img : {"imgPhones", "imgSat", "imgMon", "imgQuad"}) {
            if (!Visible(std::string("frmMain.") + img)) continue;
            if (!shown.empty()) return "";
            shown = img;
        }
        return shown;
    }
};

TEST_F(Load, FreshMachineGetsItsThreeMissingFlagsAndTheA3DKey) {
    DriverKeys();
    platform_.startFolder = "D:\\XP";
    EXPECT_FALSE(KeyExists(kA3D));
    WindowsXp();
    EXPECT_EQ(Start(), "");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(kControlPanel, "HighPerformanceMIDI", 0),
                                        Dw(kA3D, "SplashAudio", 0), Dw(kA3D, "SplashScreen", 0)}));
    EXPECT_TRUE(KeyExists(kA3D));
    EXPECT_EQ(ReadDword(kA3D, "SplashAudio"), 0);
    EXPECT_EQ(ReadDword(kA3D, "SplashScreen"), 0);
    EXPECT_EQ(ReadDword(kControlPanel, "HighPerformanceMIDI"), 0);
    for (const char* box : {"chkHighPerfMIDI", "chkPlayA3D", "chkA3DSplash", "chkTray"}) {
        EXPECT_EQ(Value(std::string("frmMain.") + box), 0) << box;
    }
    EXPECT_EQ(Text("frmMain.txtAppPath"), "D:\\XP");
    // Missing levels read as 0.
    EXPECT_EQ(Value("frmMain.hsbPCM1"), 0);
    EXPECT_EQ(Caption("frmMain.lblPCM1"), "0");
    // A missing rate shows nothing; no rate option is chosen.
    EXPECT_EQ(Caption("frmMain.lblDigOut"), "");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Value("frmMain.optDigOut(" + std::to_string(i) + ")"), 0);
    }
    EXPECT_EQ(Value("frmMain.cboA3DType"), -1);
    EXPECT_EQ(Value("frmMain.cboWavetableMode"), -1);
    // Unchecked "Detected" boxes lock their "Enable" boxes.
    EXPECT_FALSE(Enabled("frmMain.chkEnOut"));
    EXPECT_FALSE(Enabled("frmMain.chkEnIn"));
    EXPECT_TRUE(Enabled("frmMain.cmdReset"));
    EXPECT_FALSE(Visible("frmMain.cmdOverride"));
    // No driver files anywhere.
    EXPECT_EQ(Text("frmMain.txtA3DVer"), "N/A");
    EXPECT_EQ(Text("frmMain.txtA3DAPI"), "N/A");
    EXPECT_EQ(Text("frmMain.txtDrvVer"), "N/A");
    EXPECT_EQ(Text("frmMain.txtADMSize"), "Text1");
}

TEST_F(Load, WithoutTheDriverOnlyTheA3DFlagsAreCreated) {
    WindowsXp();
    Start();
    // The driver's key is not the load's to create, so its value cannot be stored.
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(kA3D, "SplashAudio", 0), Dw(kA3D, "SplashScreen", 0)}));
    EXPECT_FALSE(KeyExists(kControlPanel));
    EXPECT_EQ(Value("frmMain.chkHighPerfMIDI"), 0);
}

TEST_F(Load, EveryStoredSettingIsShownAndWrittenBackInLoadOrder) {
    DriverKeys();
    Key(kA3D);
    Dword(kCustomization, "AC97PCMOutVol", 8);
    Dword(kCustomization, "AC97PCM2OutVol", 9);
    Dword(kCustomization, "AC97MixerFrontOutVol", 10);
    Dword(kCustomization, "AC97MixerRearOutVol", 31);
    Dword(kCustomization, "SpdifFrequency", 44100);
    Dword(kControlPanel, "AspenWavetableEffect", 1);
    Dword(kCustomization, "DisableAC97Codec3DEffect", 1);
    Dword(kA3D, "SplashAudio", 1);
    Dword(kA3D, "SplashScreen", 1);
    Dword(kControlPanel, "ReverbAmount", 64);
    Dword(kControlPanel, "ChorusAmount", 127);
    Dword(kCustomization, "ST9704ATTEN", 1);
    Dword(kCustomization, "CorrectLA2", 1);
    // A number stored as text is still a number.
    Sz(kCustomization, "ST9708LA4RearInversion", "1");
    Dword(kCustomization, "DetectSpdifOut", 1);
    Dword(kCustomization, "DetectSpdifIn", 1);
    Dword(kCustomization, "EnableSpdifOut", 1);
    Dword(kCustomization, "EnableSpdifIn", 1);
    Dword(kControlPanel, "SoftSynthModeIndex", 1);
    Dword(kControlPanel, "HighPerformanceMIDI", 1);
    Dword(kControlPanel, "PrimaryXtalk", 3);
    Sz(kRun, "AU30TRAY", "C:\\Program Files\\Aureal\\AU30TRAY.EXE /silent");
    WindowsXp();
    EXPECT_EQ(Start(), "");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{
                                std::string(kRun) + "\\AU30TRAY=\"au30tray.exe\"",
                                Dw(kCustomization, "AC97PCMOutVol", 8),
                                Dw(kCustomization, "AC97PCM2OutVol", 9),
                                Dw(kCustomization, "AC97MixerFrontOutVol", 10),
                                Dw(kCustomization, "AC97MixerRearOutVol", 31),
                                Dw(kControlPanel, "ReverbAmount", 64),
                                Dw(kControlPanel, "ChorusAmount", 127),
                                Dw(kControlPanel, "AspenWavetableEffect", 1),
                                Dw(kCustomization, "DisableAC97Codec3DEffect", 1),
                                Dw(kA3D, "SplashAudio", 1),
                                Dw(kA3D, "SplashScreen", 1),
                                Dw(kCustomization, "ST9704ATTEN", 1),
                                Dw(kCustomization, "CorrectLA2", 1),
                                Dw(kCustomization, "ST9708LA4RearInversion", 1),
                                Dw(kCustomization, "DetectSpdifOut", 1),
                                Dw(kCustomization, "EnableSpdifOut", 1),
                                Dw(kCustomization, "DetectSpdifIn", 1),
                                Dw(kCustomization, "EnableSpdifIn", 1),
                                Dw(kControlPanel, "GamerMode", 0),
                                Dw(kControlPanel, "SoftSynthVoices", 64),
                                Dw(kControlPanel, "SoftSynthMode", 2),
                                Dw(kControlPanel, "SoftSynthModeIndex", 1),
                                Dw(kControlPanel, "SoftSynth", 2),
                                Dw(kControlPanel, "PrimaryXtalk", 3),
                                Dw(kControlPanel, "HighPerformanceMIDI", 1),
                            }));
    EXPECT_EQ(Value("frmMain.hsbPCM1"), 8);
    EXPECT_EQ(Caption("frmMain.lblPCM1"), "8");
    EXPECT_EQ(Caption("frmMain.lblPCM2"), "9");
    EXPECT_EQ(Caption("frmMain.lblFront"), "10");
    EXPECT_EQ(Value("frmMain.hsbRear"), 31);
    EXPECT_EQ(Caption("frmMain.lblRear"), "31");
    EXPECT_EQ(Value("frmMain.hsbEffect1"), 64);
    EXPECT_EQ(Caption("frmMain.lblEffect1"), "64");
    EXPECT_EQ(Caption("frmMain.lblEffect2"), "127");
    EXPECT_EQ(Caption("frmMain.lblDigOut"), "44100");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Value("frmMain.optDigOut(" + std::to_string(i) + ")"), 0);
    }
    EXPECT_EQ(Value("frmMain.cboWavetableMode"), 1);
    EXPECT_EQ(Value("frmMain.cboA3DType"), 2);
    EXPECT_EQ(VisibleSpeaker(), "imgMon");
    EXPECT_EQ(Value("frmMain.chkTray"), 1);
    EXPECT_TRUE(Enabled("frmMain.chkEnOut"));
    EXPECT_TRUE(Enabled("frmMain.chkEnIn"));
    // The effect lists are never loaded.
    EXPECT_EQ(Value("frmMain.cboEffect1"), -1);
    EXPECT_EQ(Value("frmMain.cboEffect2"), -1);
    EXPECT_EQ(ReadDword(kCustomization, "ST9708LA4RearInversion"), 1);
}

TEST_F(Load, ValuesTheControlsCannotTakeLeaveThemAtTheirDesignAndWriteNothing) {
    DriverKeys();
    Key(kA3D);
    Dword(kCustomization, "AC97PCMOutVol", 32);
    Dword(kCustomization, "AC97PCM2OutVol", 65537);  // 1 if it were cut to 16 bits
    Sz(kCustomization, "AC97MixerFrontOutVol", "loud");
    Dword(kCustomization, "AC97MixerRearOutVol", 0xFFFFFFFF);
    Dword(kControlPanel, "ReverbAmount", 128);
    Sz(kControlPanel, "ChorusAmount", "");
    Sz(kControlPanel, "AspenWavetableEffect", "yes");
    Dword(kCustomization, "DisableAC97Codec3DEffect", 2);
    Dword(kA3D, "SplashAudio", 2);
    Dword(kA3D, "SplashScreen", 65537);
    Dword(kCustomization, "ST9704ATTEN", 0xFFFFFFFF);
    Sz(kCustomization, "CorrectLA2", "1x");
    Sz(kCustomization, "ST9708LA4RearInversion", "99999999999");
    Dword(kCustomization, "DetectSpdifOut", 3);
    Dword(kCustomization, "EnableSpdifOut", 2);
    Sz(kCustomization, "DetectSpdifIn", "on");
    Dword(kControlPanel, "SoftSynthModeIndex", 5);
    Sz(kControlPanel, "HighPerformanceMIDI", "fast");
    Dword(kControlPanel, "PrimaryXtalk", 5);
    WindowsXp();
    EXPECT_EQ(Start(), "");
    EXPECT_TRUE(TakeWrites().empty());
    for (const char* bar : {"hsbPCM1", "hsbPCM2", "hsbFront", "hsbRear"}) {
        EXPECT_EQ(Value(std::string("frmMain.") + bar), 0) << bar;
    }
    for (const char* label :
         {"lblPCM1", "lblPCM2", "lblFront", "lblRear", "lblEffect1", "lblEffect2"}) {
        EXPECT_EQ(Caption(std::string("frmMain.") + label), "0") << label;
    }
    EXPECT_EQ(Value("frmMain.hsbEffect1"), 0);
    EXPECT_EQ(Value("frmMain.hsbEffect2"), 0);
    for (const char* box :
         {"chkMIDIfx", "chkST3D", "chkPlayA3D", "chkA3DSplash", "chkAttenuation", "chkLA2Inv",
          "chkLA4Inv", "chkDetOut", "chkEnOut", "chkDetIn", "chkEnIn", "chkHighPerfMIDI"}) {
        EXPECT_EQ(Value(std::string("frmMain.") + box), 0) << box;
    }
    EXPECT_EQ(Value("frmMain.cboWavetableMode"), -1);
    EXPECT_EQ(Value("frmMain.cboA3DType"), -1);
    EXPECT_EQ(VisibleSpeaker(), "imgPhones");
    // A "Detected" value the box could not take is no 0: its "Enable" box stays usable.
    EXPECT_TRUE(Enabled("frmMain.chkEnOut"));
    EXPECT_TRUE(Enabled("frmMain.chkEnIn"));
    // The load went on to the end, and the window is in use.
    EXPECT_TRUE(Enabled("frmMain.cmdReset"));
    EXPECT_EQ(Text("frmMain.txtDrvVer"), "N/A");
    Run("click frmMain.chkAttenuation\nset frmMain.hsbPCM2 1");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(kCustomization, "ST9704ATTEN", 1),
                                                      Dw(kCustomization, "AC97PCM2OutVol", 1)}));
    EXPECT_EQ(Caption("frmMain.lblPCM2"), "1");
}

TEST_F(Load, PrimaryXtalkSelectsTheSpeakerTypeInBothForms) {
    const char* const pictures[] = {"imgPhones", "imgSat", "imgMon", "imgQuad"};
    const char* const entries[] = {"Headphones", "Satellite Speakers", "Monitor Speakers",
                                   "Quad Speakers"};
    for (bool overrideForm : {false, true}) {
        for (int xtalk = 1; xtalk <= 4; ++xtalk) {
            Load scenario;
            scenario.DriverKeys();
            scenario.Dword(kControlPanel, "PrimaryXtalk", static_cast<std::uint32_t>(xtalk));
            scenario.StartIn(overrideForm);
            const auto writes = scenario.TakeWrites();
            const std::string trace =
                entries[xtalk - 1] + std::string(overrideForm ? " override" : "");
            EXPECT_EQ(scenario.Value("frmMain.cboA3DType"), xtalk - 1) << trace;
            EXPECT_EQ(scenario.VisibleSpeaker(), pictures[xtalk - 1]) << trace;
            EXPECT_EQ(
                std::count(writes.begin(), writes.end(), Dw(kControlPanel, "PrimaryXtalk", xtalk)),
                1)
                << trace;
        }
    }
}

TEST_F(Load, PrimaryXtalkZeroSelectsNothingAndWritesNothing) {
    DriverKeys();
    Key(kA3D);
    Dword(kA3D, "SplashAudio", 0);
    Dword(kA3D, "SplashScreen", 0);
    Dword(kControlPanel, "HighPerformanceMIDI", 0);
    Dword(kControlPanel, "PrimaryXtalk", 0);
    WindowsXp();
    Start();
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(Value("frmMain.cboA3DType"), -1);
}

TEST_F(Load, OverrideFormLeavesTheTrayValueAlone) {
    DriverKeys();
    Sz(kRun, "AU30TRAY", "C:\\AU30TRAY.EXE");
    StartIn(true);
    EXPECT_EQ(Value("frmMain.chkTray"), 0);
    for (const std::string& write : TakeWrites()) {
        EXPECT_EQ(write.find("AU30TRAY"), std::string::npos) << write;
    }
    EXPECT_EQ(ReadSz(kRun, "AU30TRAY"), "C:\\AU30TRAY.EXE");
    EXPECT_TRUE(Enabled("frmMain.cmdReset"));
    EXPECT_EQ(Text("frmMain.txtAppPath"), "C:\\WINDOWS");
}

// Without a driver file the size cannot be read; the "Enable" boxes are locked all the same.
TEST_F(Load, UncheckedDetectionLocksItsEnableBoxInBothForms) {
    for (bool overrideForm : {false, true}) {
        for (std::uint32_t enableOut : {0u, 1u}) {
            Load scenario;
            scenario.DriverKeys();
            scenario.Dword(kCustomization, "DetectSpdifOut", 0);
            scenario.Dword(kCustomization, "EnableSpdifOut", enableOut);
            scenario.Dword(kCustomization, "DetectSpdifIn", 1);
            scenario.Dword(kCustomization, "EnableSpdifIn", 0);
            scenario.StartIn(overrideForm);
            const std::string trace = (overrideForm ? "override, enable " : "start-up, enable ") +
                                      std::to_string(enableOut);
            EXPECT_EQ(scenario.Text("frmMain.txtADMSize"), "Text1") << trace;
            EXPECT_FALSE(scenario.Enabled("frmMain.chkEnOut")) << trace;
            EXPECT_EQ(scenario.Value("frmMain.chkDetOut"), 0) << trace;
            EXPECT_TRUE(scenario.Enabled("frmMain.chkEnIn")) << trace;
            EXPECT_EQ(scenario.Value("frmMain.chkDetIn"), 1) << trace;
            EXPECT_EQ(scenario.Value("frmMain.chkEnIn"), 0) << trace;
            // The user cannot reach the locked box until detection is ticked.
            EXPECT_EQ(scenario.Run("click frmMain.chkEnOut"),
                      "error: frmMain.chkEnOut is disabled or hidden\n")
                << trace;
        }
    }
}

// The lock follows the stored number, not the box: a value the box cannot show (2, a text)
// unchecks it but leaves "Enable" usable, while a missing value counts as 0.
TEST_F(Load, EnableBoxIsLockedOnlyWhenItsStoredDetectionIsZero) {
    struct Case {
        const char* trace;
        std::optional<std::uint32_t> dword;
        std::optional<std::string> text;
        bool enabled;
    };
    const Case cases[] = {
        {"0", 0u, std::nullopt, false},
        {"1", 1u, std::nullopt, true},
        {"2", 2u, std::nullopt, true},
        {"missing", std::nullopt, std::nullopt, false},
        {"text \"0\"", std::nullopt, "0", false},
        {"text \"on\"", std::nullopt, "on", true},
    };
    for (bool overrideForm : {false, true}) {
        for (const Case& c : cases) {
            Load scenario;
            scenario.DriverKeys();
            for (const char* name : {"DetectSpdifOut", "DetectSpdifIn"}) {
                if (c.dword) scenario.Dword(kCustomization, name, *c.dword);
                if (c.text) scenario.Sz(kCustomization, name, *c.text);
            }
            scenario.StartIn(overrideForm);
            const std::string trace = c.trace + std::string(overrideForm ? " (override)" : "");
            EXPECT_EQ(scenario.Enabled("frmMain.chkEnOut"), c.enabled) << trace;
            EXPECT_EQ(scenario.Enabled("frmMain.chkEnIn"), c.enabled) << trace;
            EXPECT_EQ(scenario.Value("frmMain.chkDetOut"), c.dword == 1u ? 1 : 0) << trace;
        }
    }
}

TEST_F(Load, AnyStoredTrayCommandChecksTheBoxAndIsRewritten) {
    struct Case {
        std::optional<std::string> stored;
        int checked;
        std::vector<std::string> writes;
    };
    const std::string rewritten = std::string(kRun) + "\\AU30TRAY=\"au30tray.exe\"";
    const Case cases[] = {
        {"au30tray.exe", 1, {rewritten}},
        {"C:\\WINDOWS\\system32\\AU30TRAY.EXE -quiet", 1, {rewritten}},
        {"x", 1, {rewritten}},
        {"", 0, {}},
        {std::nullopt, 0, {}},
    };
    for (const Case& c : cases) {
        Load scenario;
        scenario.DriverKeys();
        scenario.Key(kA3D);
        scenario.Dword(kA3D, "SplashAudio", 0);
        scenario.Dword(kA3D, "SplashScreen", 0);
        scenario.Dword(kControlPanel, "HighPerformanceMIDI", 0);
        if (c.stored) scenario.Sz(kRun, "AU30TRAY", *c.stored);
        scenario.StartIn(false);
        const std::string trace = c.stored.value_or("(missing)");
        EXPECT_EQ(scenario.Value("frmMain.chkTray"), c.checked) << trace;
        EXPECT_EQ(scenario.TakeWrites(), c.writes) << trace;
    }
}

TEST_F(Load, SplashBoxesShowTheirOwnStoredFlags) {
    struct Case {
        std::uint32_t audio, screen;
    };
    for (const Case c : {Case{0, 0}, Case{0, 1}, Case{1, 0}, Case{1, 1}}) {
        Load scenario;
        scenario.DriverKeys();
        scenario.Dword(kA3D, "SplashAudio", c.audio);
        scenario.Dword(kA3D, "SplashScreen", c.screen);
        scenario.StartIn(false);
        const std::string trace =
            "audio " + std::to_string(c.audio) + ", screen " + std::to_string(c.screen);
        EXPECT_EQ(scenario.Value("frmMain.chkPlayA3D"), static_cast<int>(c.audio)) << trace;
        EXPECT_EQ(scenario.Value("frmMain.chkA3DSplash"), static_cast<int>(c.screen)) << trace;
        EXPECT_EQ(scenario.ReadDword(kA3D, "SplashAudio"), static_cast<int>(c.audio)) << trace;
        EXPECT_EQ(scenario.ReadDword(kA3D, "SplashScreen"), static_cast<int>(c.screen)) << trace;
    }
}

TEST_F(Load, VersionBoxesAndTheSizeOfTheDriverFileShown) {
    DriverKeys();
    platform_.files["a3d.dll"] = {Version(80, 0, 0, 3), 90112};
    platform_.files["a3dapi.dll"] = {Version(5, 12, 1, 2560), 36864};
    platform_.files["drivers\\adm8830.sys"] = {Version(5, 12, 1, 2560), 747392};
    platform_.files["drivers\\admaud30.sys"] = {Version(5, 0, 2169, 1), 1000};
    WindowsXp();
    Start();
    EXPECT_EQ(Text("frmMain.txtA3DVer"), "80.0.0.3");
    EXPECT_EQ(Text("frmMain.txtA3DAPI"), "5.12.1.2560");
    EXPECT_EQ(Text("frmMain.txtDrvVer"), "5.12.1.2560");
    EXPECT_EQ(Text("frmMain.txtADMSize"), "747392");
}

TEST_F(Load, DriverVersionAndSizeFallBackToTheOlderFileName) {
    struct Case {
        const char* trace;
        std::optional<FakePlatform::File> adm8830, admaud30;
        const char* version;
        const char* size;
    };
    const Case cases[] = {
        {"no version resource in adm8830.sys", FakePlatform::File{std::nullopt, 702080},
         FakePlatform::File{Version(5, 10, 2500, 49), 645120}, "5.10.2500.49", "645120"},
        {"no adm8830.sys", std::nullopt, FakePlatform::File{Version(5, 12, 1, 2559), 650000},
         "5.12.1.2559", "650000"},
        {"admaud30.sys without its size", std::nullopt,
         FakePlatform::File{Version(5, 12, 1, 2559), std::nullopt}, "5.12.1.2559", "Text1"},
        {"neither file", std::nullopt, std::nullopt, "N/A", "Text1"},
        {"adm8830.sys wins over admaud30.sys", FakePlatform::File{Version(5, 12, 1, 2560), 702080},
         FakePlatform::File{Version(5, 10, 2500, 49), 645120}, "5.12.1.2560", "702080"},
    };
    for (bool overrideForm : {false, true}) {
        for (const Case& c : cases) {
            Load scenario;
            scenario.DriverKeys();
            if (c.adm8830) scenario.platform_.files["drivers\\adm8830.sys"] = *c.adm8830;
            if (c.admaud30) scenario.platform_.files["drivers\\admaud30.sys"] = *c.admaud30;
            scenario.StartIn(overrideForm);
            const std::string trace = c.trace + std::string(overrideForm ? " (override)" : "");
            EXPECT_EQ(scenario.Text("frmMain.txtDrvVer"), c.version) << trace;
            EXPECT_EQ(scenario.Text("frmMain.txtADMSize"), c.size) << trace;
        }
    }
}

}  // namespace
}  // namespace testing_support
