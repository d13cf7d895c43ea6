// The handlers of the main window's setting pages: what each writes, in which order, and the
// state of the page afterwards.
#include "settings/schema.h"
#include "support/memory_registry.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

using schema::kA3D;
using schema::kControlPanel;
using schema::kCustomization;
using schema::kSpdifEnableList;
using Writes = std::vector<std::string>;

std::string Dw(const char* key, const char* name, std::int64_t value) {
    return std::string(key) + "\\" + name + "=dword:" + std::to_string(value);
}

std::string Fx(const char* bytes) {
    return std::string(kControlPanel) + "\\FxSelectParams=hex(3):" + bytes;
}

class Pages : public Scenario {
  public:
    void TestBody() override {}

    // A machine with the driver installed and everything at design values, loaded on XP;
    // the load's own writes are dropped.
    void Ready() {
        DriverKeys();
        WindowsXp();
        Start();
        TakeWrites();
    }
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

// A3D.

TEST_F(Pages, SpeakerTypeStoresItsNumberAndShowsOnlyItsPicture) {
    Ready();
    Run("select frmMain.cboA3DType 3");
    EXPECT_EQ(TakeWrites(), Writes{Dw(kControlPanel, "PrimaryXtalk", 4)});
    EXPECT_EQ(VisibleSpeaker(), "imgQuad");
    Run("select frmMain.cboA3DType 0");
    EXPECT_EQ(TakeWrites(), Writes{Dw(kControlPanel, "PrimaryXtalk", 1)});
    EXPECT_EQ(VisibleSpeaker(), "imgPhones");
    Run("select frmMain.cboA3DType 1\nselect frmMain.cboA3DType 2");
    EXPECT_EQ(TakeWrites(),
              (Writes{Dw(kControlPanel, "PrimaryXtalk", 2), Dw(kControlPanel, "PrimaryXtalk", 3)}));
    EXPECT_EQ(VisibleSpeaker(), "imgMon");
    // Losing the selection writes nothing and leaves the picture.
    Run("select frmMain.cboA3DType -1");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(VisibleSpeaker(), "imgMon");
}

TEST_F(Pages, SplashBoxesStoreOnlyTheirOwnFlag) {
    Ready();
    Run("click frmMain.chkA3DSplash\nclick frmMain.chkA3DSplash");
    EXPECT_EQ(TakeWrites(), (Writes{Dw(kA3D, "SplashScreen", 1), Dw(kA3D, "SplashScreen", 0)}));
    Run("click frmMain.chkPlayA3D");
    EXPECT_EQ(TakeWrites(), Writes{Dw(kA3D, "SplashAudio", 1)});
    EXPECT_EQ(ReadDword(kA3D, "SplashScreen"), 0);
    EXPECT_EQ(ReadDword(kA3D, "SplashAudio"), 1);
}

// MIDI.

TEST_F(Pages, PolyphonyRowsAreWrittenWholeInOrder) {
    Ready();
    Run("select frmMain.cboWavetableMode 1");
    EXPECT_EQ(
        TakeWrites(),
        (Writes{Dw(kControlPanel, "GamerMode", 0), Dw(kControlPanel, "SoftSynthVoices", 64),
                Dw(kControlPanel, "SoftSynthMode", 2), Dw(kControlPanel, "SoftSynthModeIndex", 1),
                Dw(kControlPanel, "SoftSynth", 2)}));
    Run("select frmMain.cboWavetableMode 2");
    EXPECT_EQ(
        TakeWrites(),
        (Writes{Dw(kControlPanel, "GamerMode", 0), Dw(kControlPanel, "SoftSynthVoices", 0),
                Dw(kControlPanel, "SoftSynthMode", 0), Dw(kControlPanel, "SoftSynthModeIndex", 2),
                Dw(kControlPanel, "SoftSynth", 0)}));
    Run("select frmMain.cboWavetableMode 0");
    EXPECT_EQ(
        TakeWrites(),
        (Writes{Dw(kControlPanel, "GamerMode", 1), Dw(kControlPanel, "SoftSynthVoices", 256),
                Dw(kControlPanel, "SoftSynthMode", 3), Dw(kControlPanel, "SoftSynthModeIndex", 0),
                Dw(kControlPanel, "SoftSynth", 2)}));
    Run("select frmMain.cboWavetableMode -1");
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(Pages, MidiCheckBoxesAndLevels) {
    Ready();
    Run("click frmMain.chkHighPerfMIDI\nclick frmMain.chkMIDIfx\nclick frmMain.chkMIDIfx");
    EXPECT_EQ(TakeWrites(), (Writes{Dw(kControlPanel, "HighPerformanceMIDI", 1),
                                    Dw(kControlPanel, "AspenWavetableEffect", 1),
                                    Dw(kControlPanel, "AspenWavetableEffect", 0)}));
    Run("set frmMain.hsbEffect2 127");
    EXPECT_EQ(TakeWrites(), Writes{Dw(kControlPanel, "ChorusAmount", 127)});
    EXPECT_EQ(Caption("frmMain.lblEffect2"), "127");
    Run("set frmMain.hsbEffect1 5\nset frmMain.hsbEffect1 0");
    EXPECT_EQ(TakeWrites(),
              (Writes{Dw(kControlPanel, "ReverbAmount", 5), Dw(kControlPanel, "ReverbAmount", 0)}));
    EXPECT_EQ(Caption("frmMain.lblEffect1"), "0");
    EXPECT_EQ(Caption("frmMain.lblEffect2"), "127");
}

TEST_F(Pages, EffectSelectionIsWrittenOnceBothUnitsHaveOne) {
    Ready();
    Run("select frmMain.cboEffect1 4");  // "Hall reverb"
    EXPECT_TRUE(TakeWrites().empty());
    Run("select frmMain.cboEffect2 7");  // "Flange"
    EXPECT_EQ(TakeWrites(), Writes{Fx("04,07")});
    // One effect cannot run on both units: the second unit gives way, its list unchanged.
    Run("select frmMain.cboEffect1 1\nselect frmMain.cboEffect2 1");
    EXPECT_EQ(TakeWrites(), (Writes{Fx("01,07"), Fx("01,00")}));
    EXPECT_EQ(Value("frmMain.cboEffect2"), 1);
    Run("select frmMain.cboEffect1 0\nselect frmMain.cboEffect2 0");
    EXPECT_EQ(TakeWrites(), (Writes{Fx("00,01"), Fx("00,00")}));
    // Positions are compared, not names: the lists differ at 5 and 6.
    Run("select frmMain.cboEffect1 5\nselect frmMain.cboEffect2 5\nselect frmMain.cboEffect2 6");
    EXPECT_EQ(TakeWrites(), (Writes{Fx("05,00"), Fx("05,00"), Fx("05,06")}));
    Run("select frmMain.cboEffect1 9");
    EXPECT_EQ(TakeWrites(), Writes{Fx("09,06")});
    std::uint32_t type = 0;
    EXPECT_EQ(ReadRaw(kControlPanel, "FxSelectParams", &type), (std::vector<std::uint8_t>{9, 6}));
    EXPECT_EQ(type, platform::REG_BINARY);
}

TEST_F(Pages, EffectSelectionCreatesAMissingKeyAndReportsAKeyItCannotOpen) {
    WindowsXp();
    Start();
    TakeWrites();
    EXPECT_FALSE(KeyExists(kControlPanel));
    EXPECT_EQ(Run("select frmMain.cboEffect1 2\nselect frmMain.cboEffect2 3"), "");
    EXPECT_EQ(TakeWrites(), Writes{Fx("02,03")});
    EXPECT_TRUE(KeyExists(kControlPanel));

    // Refused access needs the in-memory registry's switch; the real registry has none.
    auto* memory = dynamic_cast<testing_support::MemoryRegistry*>(backend_.get());
    if (memory == nullptr) GTEST_SKIP() << "refused access needs the in-memory registry";
    memory->refuseCreate = true;
    EXPECT_EQ(Run("select frmMain.cboEffect2 8"),
              "message title=\"Sorry\" icon=none buttons=ok text=\"unable to open key\"\n");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(Value("frmMain.cboEffect2"), 8);
    EXPECT_EQ(ReadRaw(kControlPanel, "FxSelectParams"), (std::vector<std::uint8_t>{2, 3}));
}

// AC'97.

TEST_F(Pages, CodecOptionsStoreOnlyTheirOwnValue) {
    Ready();
    Run("click frmMain.chkST3D");
    EXPECT_EQ(TakeWrites(), Writes{Dw(kCustomization, "DisableAC97Codec3DEffect", 1)});
    Run("click frmMain.chkAttenuation\nclick frmMain.chkLA4Inv\nclick frmMain.chkLA2Inv\n"
        "click frmMain.chkST3D");
    EXPECT_EQ(TakeWrites(), (Writes{Dw(kCustomization, "ST9704ATTEN", 1),
                                    Dw(kCustomization, "ST9708LA4RearInversion", 1),
                                    Dw(kCustomization, "CorrectLA2", 1),
                                    Dw(kCustomization, "DisableAC97Codec3DEffect", 0)}));
}

TEST_F(Pages, LevelBarsStoreTheRegisterValueAndShowIt) {
    Ready();
    struct Bar {
        const char* bar;
        const char* label;
        const char* value;
    };
    for (const Bar b :
         {Bar{"hsbPCM1", "lblPCM1", "AC97PCMOutVol"}, Bar{"hsbPCM2", "lblPCM2", "AC97PCM2OutVol"},
          Bar{"hsbFront", "lblFront", "AC97MixerFrontOutVol"},
          Bar{"hsbRear", "lblRear", "AC97MixerRearOutVol"}}) {
        const std::string bar = std::string("frmMain.") + b.bar;
        const std::string label = std::string("frmMain.") + b.label;
        Run("set " + bar + " 31");
        EXPECT_EQ(Caption(label), "31") << b.bar;
        Run("set " + bar + " 8\nset " + bar + " 9\nset " + bar + " 0");
        EXPECT_EQ(Caption(label), "0") << b.bar;
        EXPECT_EQ(TakeWrites(),
                  (Writes{Dw(kCustomization, b.value, 31), Dw(kCustomization, b.value, 8),
                          Dw(kCustomization, b.value, 9), Dw(kCustomization, b.value, 0)}))
            << b.bar;
        EXPECT_EQ(Run("set " + bar + " 32"), "error: value 32 is outside " + bar + "\n");
    }
}

TEST_F(Pages, LevelHelpShowsTheScaleAndWritesNothing) {
    Ready();
    EXPECT_EQ(Run("click frmMain.cmdAC97Help"),
              "message title=\"Information\" icon=information buttons=ok text=\"0 = +12dB, 1 = "
              "+10.5dB, 8 = 0dB (Default), 31 = -34.5dB\"\n");
    EXPECT_TRUE(TakeWrites().empty());
}

// Digital input and output.

TEST_F(Pages, UncheckingDetectionClearsAndLocksTheEnableBox) {
    struct Pair {
        const char* detect;
        const char* enable;
        const char* detectValue;
        const char* enableValue;
    };
    for (const Pair p : {Pair{"chkDetOut", "chkEnOut", "DetectSpdifOut", "EnableSpdifOut"},
                         Pair{"chkDetIn", "chkEnIn", "DetectSpdifIn", "EnableSpdifIn"}}) {
        Pages scenario;
        scenario.DriverKeys();
        scenario.Dword(kCustomization, p.detectValue, 1);
        scenario.Dword(kCustomization, p.enableValue, 1);
        scenario.WindowsXp();
        scenario.Start();
        scenario.TakeWrites();
        const std::string detect = std::string("frmMain.") + p.detect;
        const std::string enable = std::string("frmMain.") + p.enable;
        scenario.Run("click " + detect);
        EXPECT_EQ(scenario.TakeWrites(), (Writes{Dw(kCustomization, p.enableValue, 0),
                                                 Dw(kCustomization, p.detectValue, 0)}))
            << p.detect;
        EXPECT_EQ(scenario.Value(enable), 0) << p.enable;
        EXPECT_FALSE(scenario.Enabled(enable)) << p.enable;
        // Ticking it again unlocks the box without ticking it.
        scenario.Run("click " + detect);
        EXPECT_EQ(scenario.TakeWrites(), Writes{Dw(kCustomization, p.detectValue, 1)}) << p.detect;
        EXPECT_EQ(scenario.Value(enable), 0) << p.enable;
        EXPECT_TRUE(scenario.Enabled(enable)) << p.enable;
        scenario.Run("click " + enable);
        EXPECT_EQ(scenario.TakeWrites(), Writes{Dw(kCustomization, p.enableValue, 1)}) << p.enable;
    }
}

TEST_F(Pages, RateOptionsStoreTheRateAndShowIt) {
    DriverKeys();
    Dword(kCustomization, "SpdifFrequency", 48000);
    WindowsXp();
    Start();
    TakeWrites();
    EXPECT_EQ(Caption("frmMain.lblDigOut"), "48000");
    Run("click frmMain.optDigOut(1)");
    EXPECT_EQ(TakeWrites(), Writes{Dw(kCustomization, "SpdifFrequency", 44100)});
    EXPECT_EQ(Caption("frmMain.lblDigOut"), "44100");
    Run("click frmMain.optDigOut(0)\nclick frmMain.optDigOut(2)");
    EXPECT_EQ(TakeWrites(), (Writes{Dw(kCustomization, "SpdifFrequency", 32000),
                                    Dw(kCustomization, "SpdifFrequency", 48000)}));
    EXPECT_EQ(Caption("frmMain.lblDigOut"), "48000");
    EXPECT_EQ(Value("frmMain.optDigOut(0)"), 0);
    EXPECT_EQ(Value("frmMain.optDigOut(1)"), 0);
    EXPECT_EQ(Value("frmMain.optDigOut(2)"), 1);
}

TEST_F(Pages, SupportedCardListIsWrittenEachTimeAndOnlyIntoItsExistingKey) {
    Ready();
    const Writes four = {Dw(kSpdifEnableList, "1", 317390984), Dw(kSpdifEnableList, "2", 317390850),
                         Dw(kSpdifEnableList, "3", 273514619),
                         Dw(kSpdifEnableList, "4", 278016001)};
    EXPECT_EQ(Run("click frmMain.cmdFixDetect"), "");
    EXPECT_EQ(TakeWrites(), four);
    EXPECT_EQ(Run("click frmMain.cmdFixDetect"), "");
    EXPECT_EQ(TakeWrites(), four);
    EXPECT_EQ(ReadDword(kSpdifEnableList, "4"), 0x10923001);

    Pages bare;
    bare.Key(kCustomization);
    bare.WindowsXp();
    bare.Start();
    bare.TakeWrites();
    EXPECT_EQ(bare.Run("click frmMain.cmdFixDetect"), "");
    EXPECT_TRUE(bare.TakeWrites().empty());
    EXPECT_FALSE(bare.KeyExists(kSpdifEnableList));
}

// Tray.

TEST_F(Pages, TrayBoxDeletesAndRewritesTheRunValue) {
    DriverKeys();
    Sz(schema::kRun, "AU30TRAY", "au30tray.exe");
    WindowsXp();
    Start();
    TakeWrites();
    Run("click frmMain.chkTray");
    EXPECT_EQ(TakeWrites(), Writes{std::string(schema::kRun) + "\\AU30TRAY=-"});
    EXPECT_EQ(ReadSz(schema::kRun, "AU30TRAY"), std::nullopt);
    Run("click frmMain.chkTray");
    EXPECT_EQ(TakeWrites(), Writes{std::string(schema::kRun) + "\\AU30TRAY=\"au30tray.exe\""});
    EXPECT_EQ(ReadSz(schema::kRun, "AU30TRAY"), "au30tray.exe");
}

}  // namespace
}  // namespace testing_support
