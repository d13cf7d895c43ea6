// The equalizer window driven as a user would: opening and handing back the main window, the
// load that restores the stored choices through the handlers, the presets, the speakers and the
// analog EQ channel, each with the registry writes it makes, in order.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/schema.h"
#include "support/memory_registry.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

// Reference blocks, made here from the published numbers alone (not with the product's
// serializer): header, the ten sections twice, 20, the ten bands twice; little-endian.
using Sections = std::int16_t[10][5];
using Bands = std::int16_t[10];

std::vector<std::uint8_t> Block(std::int32_t header, const Sections& sections, const Bands& bands) {
    std::vector<std::uint8_t> out;
    auto put16 = [&](std::int16_t v) {
        const auto u = static_cast<std::uint16_t>(v);
        out.push_back(static_cast<std::uint8_t>(u & 0xff));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    auto put32 = [&](std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((u >> (8 * i)) & 0xff));
    };
    put32(header);
    for (int copy = 0; copy < 2; ++copy) {
        for (const auto& section : sections) {
            for (std::int16_t v : section) put16(v);
        }
    }
    put32(20);
    for (int copy = 0; copy < 2; ++copy) {
        for (std::int16_t v : bands) put16(v);
    }
    return out;
}

const Sections kMusicSections = {
    {32352, -15970, 1, 2, 1},        {32672, -16289, 79, 0, -79},
    {32575, -16196, 194, 0, -194},   {32376, -16009, 287, 0, -287},
    {31958, -15643, 604, 0, -604},   {31049, -14934, 1127, 0, -1127},
    {28960, -13601, 2148, 0, -2148}, {23859, -11216, 3966, 0, -3966},
    {11243, -7222, 7123, 0, -7123},  {-10432, -4067, 10949, 0, -10949},
};
const Bands kRockBands = {31092, 26906, 23557, 19371, 15421, 12416, 14219, 16022, 21045, 16859};
const Bands kClassicalBands = {21045, 20208, 19371, 18533, 21882,
                               13017, 15421, 19371, 17696, 14820};
const Bands kPopBands = {16022, 16022, 16022, 17696, 18533, 21045, 19371, 14820, 13618, 16022};
const Bands kJazzBands = {13017, 14820, 16859, 18533, 22720, 20208, 16022, 13017, 11816, 13618};
const Bands kDanceBands = {32767, 27743, 25231, 20208, 16022, 13017, 14219, 16022, 22720, 16022};
const Bands kFlatBands = {16022, 16022, 16022, 16022, 16022, 16022, 16022, 16022, 16022, 16022};
const Bands kSpeakerBands = {32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767};

const Sections kPhilips = {{30217, -14103, -633, 637, 0},
                           {32615, -16238, 87, -87, 0},
                           {21066, -6761, -3755, 2509, 0},
                           {0, 0, 16384, 0, 0},
                           {0, 0, 9380, 0, 0}};
const Sections kSonigistix = {{32705, -16324, -30, 30, 0}, {5139, -374, -29098, 5788, 0},
                              {0, 0, 6158, 0, 0},          {0, 0, 6158, 0, 0},
                              {0, 0, 6158, 0, 0},          {0, 0, 6158, 0, 0},
                              {0, 0, 6158, 0, 0},          {0, 0, 6158, 0, 0},
                              {0, 0, 6158, 0, 0},          {0, 0, 6158, 0, 0}};
const Sections kYamaha = {{27343, -11923, -969, 1101, 0},
                          {32552, -16176, 49, -50, 0},
                          {32616, -16233, -147, 146, 0},
                          {9837, -1451, -22626, 7681, 0},
                          {21066, -6761, -3246, 2169, 0},
                          {0, 0, 10660, 0, 0},
                          {0, 0, 10660, 0, 0},
                          {0, 0, 10660, 0, 0},
                          {0, 0, 10660, 0, 0},
                          {0, 0, 10660, 0, 0}};
const Sections kAltec = {{0, -9640, -4788, 244, 0},   {30743, -14624, -365, 367, 0},
                         {32677, -16294, -45, 45, 0}, {21282, -6905, -2597, 1735, 0},
                         {0, 0, 16384, 0, 0},         {0, 0, 9821, 0, 0}};

using Blob = std::vector<std::uint8_t>;
const Blob kRock = Block(0, kMusicSections, kRockBands);
const Blob kClassical = Block(0, kMusicSections, kClassicalBands);
const Blob kPop = Block(0, kMusicSections, kPopBands);
const Blob kJazz = Block(0, kMusicSections, kJazzBands);
const Blob kDance = Block(0, kMusicSections, kDanceBands);
const Blob kFlat = Block(0, kMusicSections, kFlatBands);
const Blob kSpeakerSets[] = {Block(-16, kPhilips, kSpeakerBands),
                             Block(-16, kSonigistix, kSpeakerBands),
                             Block(-16, kYamaha, kSpeakerBands), Block(-16, kAltec, kSpeakerBands)};
const char* const kSpeakerNames[] = {"Philips DSS330", "Sonigistix Monsoon MM-700",
                                     "Yamaha YSTM100", "Altec Lansing ADA880"};

// Write texts as the recorder prints them, with the key as each handler opened it.
const std::string kEq = "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Equalizer\\";
const std::string kCp = "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\ControlPanel\\";
const std::string kCust = "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Customization\\";
const std::string kPreset = "SOFTWARE\\Aureal\\Vortex\\AU8830\\Equalizer\\PresetNumber=dword:";
const std::string kSpeaker =
    "Software\\Aureal\\Vortex\\AU8830\\SpeakerCompensation\\CurrSpeakerComp=";
const std::string kBypass0 = kEq + "EqBypass=dword:0";
const std::string kBypass1 = kEq + "EqBypass=dword:1";
const std::string kActive0 = kEq + "ActiveCoefSet=dword:0";
const std::string kPageConfig = kCust + "ControlPanelPageConfig=\"0123456A\"";
const std::string kSorry =
    "message title=\"Sorry\" icon=none buttons=ok text=\"unable to open key\"\n";

std::string Coef(const Blob& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = kEq + "CoefSet0=hex(3):";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ',';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::vector<std::string> Analog(int support, int line, int enable) {
    return {kCust + "SupportAnalogEQ=dword:" + std::to_string(support),
            kCp + "AnalogEQSrcLine=dword:" + std::to_string(line),
            kCp + "AnalogEQEnableState=dword:" + std::to_string(enable)};
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Eq : public Scenario {
  public:
    void TestBody() override {}

    // Windows XP with the driver's and the card software's keys, none holding a value.
    void Machine() {
        WindowsXp();
        DriverKeys();
    }
    // Starts the system and opens the window; the writes of the main window's load are dropped.
    std::string Open() {
        Start();
        TakeWrites();
        return Run("click frmMain.cmdEQSettings");
    }
    // Refused access needs the in-memory registry's switch.
    testing_support::MemoryRegistry* Memory() {
        return dynamic_cast<testing_support::MemoryRegistry*>(backend_.get());
    }
    std::optional<Blob> CoefSet0() {
        std::uint32_t type = 0;
        auto data = ReadRaw(schema::kDriverEqualizer, schema::kCoefSet0, &type);
        if (data) {
            EXPECT_EQ(type, platform::REG_BINARY);
        }
        return data;
    }
    std::optional<std::int32_t> Bypass() { return ReadDword(schema::kDriverEqualizer, "EqBypass"); }
    void ExpectSwitch(int on, int off) {
        EXPECT_EQ(Value("frmEQ.optEQ(0)"), on);
        EXPECT_EQ(Value("frmEQ.optEQ(1)"), off);
    }
    // The two lists of the second row share one place and are never shown together.
    void ExpectSecondRow(bool velta, bool spComp) {
        EXPECT_EQ(Visible("frmEQ.cboVELTA"), velta);
        EXPECT_EQ(Enabled("frmEQ.cboVELTA"), velta);
        EXPECT_EQ(Visible("frmEQ.cboSpComp"), spComp);
        EXPECT_EQ(Enabled("frmEQ.cboSpComp"), spComp);
    }
    void SeedOldSet() {
        Bytes(schema::kDriverEqualizer, schema::kCoefSet0, platform::REG_BINARY, {1, 2, 3});
    }
};

const char* const kMainLocked =
    "window frmMain visible=1 enabled=0 caption=\"Calvenor XP\"\n"
    "window frmEQ visible=1 enabled=1 caption=\"Equalizer Settings\"\n";
const char* const kMainBack = "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n";

// --- Opening and closing ----------------------------------------------------------------

TEST_F(Eq, OpensInFrontOfTheMainWindowWhichStaysVisibleButLocked) {
    Machine();
    EXPECT_EQ(Open(), "");
    EXPECT_EQ(Run("windows"), kMainLocked);
    EXPECT_EQ(Run("click frmMain.cmdOK"), "error: frmMain.cmdOK is disabled or hidden\n");
    EXPECT_EQ(Run("close frmMain"), "error: frmMain is disabled or hidden\n");
}

TEST_F(Eq, OkAndTheTitleBarBothHandTheMainWindowBackAndWriteNothing) {
    for (const char* how : {"click frmEQ.cmdOK", "close frmEQ"}) {
        Eq s;
        s.Machine();
        s.Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
        s.Open();
        s.Run("select frmEQ.cboVELTA 2");
        s.TakeWrites();
        s.Run(how);
        EXPECT_EQ(s.Run("windows"), kMainBack) << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
        EXPECT_FALSE(s.app_.Ended()) << how;
        // Opened again it is a new window: the list choice made before is gone.
        s.Run("click frmMain.cmdEQSettings");
        EXPECT_EQ(s.Run("windows"), kMainLocked) << how;
        EXPECT_EQ(s.Value("frmEQ.cboVELTA"), -1) << how;
        EXPECT_EQ(s.recorder_.openHandles, 0) << how;
    }
}

TEST_F(Eq, ControlsStandInTabOrderWithTheSecondRowListsInOnePlace) {
    Machine();
    Open();
    ui::Form* form = app_.FindForm("frmEQ");
    ASSERT_NE(form, nullptr);
    std::vector<std::string> ids;
    for (const auto& c : form->controls()) ids.push_back(c->id());
    EXPECT_EQ(
        ids, (std::vector<std::string>{"cboEQPreset", "Label14", "cboAnalogEQ", "Label5", "cmdOK",
                                       "Frame1", "optEQ(0)", "optEQ(1)", "cboVELTA", "cboSpComp"}));
    const ui::Place velta = form->Find("cboVELTA")->place;
    const ui::Place spComp = form->Find("cboSpComp")->place;
    EXPECT_EQ(velta.left, spComp.left);
    EXPECT_EQ(velta.top, spComp.top);
    EXPECT_EQ(velta.top, 600);
    EXPECT_EQ(form->Find("optEQ(1)")->container, form->Find("Frame1"));
    EXPECT_EQ(Caption("frmEQ.Label5"), "&Analog EQ Channel");
}

// --- The load -------------------------------------------------------------------------

TEST_F(Eq, EmptyKeysOpenWithOnRockAndNoneAndStoreWhatThoseWrite) {
    Machine();
    Open();
    ExpectSwitch(1, 0);
    EXPECT_EQ(Value("frmEQ.cboEQPreset"), 0);
    EXPECT_EQ(Value("frmEQ.cboAnalogEQ"), 0);
    ExpectSecondRow(false, false);
    EXPECT_EQ(TakeWrites(),
              Join({kBypass0, kPreset + "0", Coef(kRock), kBypass0, kActive0}, Analog(0, 3, 0)));
    EXPECT_EQ(CoefSet0(), kRock);
    EXPECT_EQ(Bypass(), 0);
    EXPECT_EQ(ReadDword(schema::kAU8830Equalizer, schema::kPresetNumber), 0);
    EXPECT_EQ(ReadDword(schema::kDriverEqualizer, schema::kActiveCoefSet), 0);
    EXPECT_EQ(ReadDword(schema::kCustomization, schema::kSupportAnalogEQ), 0);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kAnalogEQSrcLine), 3);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kAnalogEQEnableState), 0);
}

TEST_F(Eq, MissingDriverEqualizerKeyIsCreatedByTheRockWriteButNotTheCardSoftwareKey) {
    WindowsXp();
    for (const char* key :
         {schema::kControlPanel, schema::kCustomization, schema::kSpeakerCompensation}) {
        Key(key);
    }
    EXPECT_EQ(Open(), "");
    EXPECT_TRUE(KeyExists(schema::kDriverEqualizer));
    EXPECT_EQ(CoefSet0(), kRock);
    EXPECT_EQ(Bypass(), 0);
    EXPECT_EQ(ReadDword(schema::kDriverEqualizer, schema::kActiveCoefSet), 0);
    EXPECT_FALSE(KeyExists(schema::kAU8830Equalizer));
    // The switch's own write found no key; the preset's came after the key was made.
    EXPECT_EQ(TakeWrites(), Join({Coef(kRock), kBypass0, kActive0}, Analog(0, 3, 0)));
}

TEST_F(Eq, BypassedEqualizerStaysBypassedWhenTheWindowReappliesAMusicPreset) {
    Machine();
    Dword(schema::kDriverEqualizer, schema::kEqBypass, 1);
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 2);
    Open();
    ExpectSwitch(0, 1);
    EXPECT_EQ(Value("frmEQ.cboEQPreset"), 2);
    EXPECT_EQ(CoefSet0(), kPop);
    EXPECT_EQ(Bypass(), 1);
    const auto writes = TakeWrites();
    ASSERT_GE(writes.size(), 4u);
    EXPECT_EQ(writes[0], kBypass1);
    EXPECT_EQ(writes[1], kPreset + "2");
    EXPECT_EQ(writes[2], Coef(kPop));
    // The last write to the switch puts back what was found.
    std::string last;
    for (const auto& w : writes) {
        if (w.rfind(kEq + "EqBypass=", 0) == 0) last = w;
    }
    EXPECT_EQ(last, kBypass1);
}

TEST_F(Eq, BypassedEqualizerStaysBypassedUnderSpeakerCompensation) {
    Machine();
    Dword(schema::kDriverEqualizer, schema::kEqBypass, 1);
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 6);
    Sz(schema::kSpeakerCompensation, schema::kCurrSpeakerComp, "Philips DSS330");
    Open();
    ExpectSwitch(0, 1);
    EXPECT_EQ(Value("frmEQ.cboSpComp"), 0);
    EXPECT_EQ(CoefSet0(), kSpeakerSets[0]);
    EXPECT_EQ(Bypass(), 1);
}

TEST_F(Eq, BypassOtherThanZeroOrOneSelectsNeitherAndOnlyAMusicPresetChangesIt) {
    {
        Eq s;
        s.Machine();
        s.Dword(schema::kDriverEqualizer, schema::kEqBypass, 2);
        s.Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
        s.Open();
        s.ExpectSwitch(0, 0);
        EXPECT_EQ(s.Bypass(), 2);
        EXPECT_EQ(s.TakeWrites(), Join({kPreset + "5"}, Analog(0, 3, 0)));
    }
    {
        // The music preset stores 0, and the switch shows it.
        Eq s;
        s.Machine();
        s.Dword(schema::kDriverEqualizer, schema::kEqBypass, 2);
        s.Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 3);
        s.Open();
        EXPECT_EQ(s.Bypass(), 0);
        s.ExpectSwitch(1, 0);
        EXPECT_EQ(s.CoefSet0(), kJazz);
    }
}

TEST_F(Eq, StoredUserPresetShowsTheSecondListEmptyAndWritesNoSet) {
    Machine();
    SeedOldSet();
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    EXPECT_EQ(Value("frmEQ.cboEQPreset"), 5);
    ExpectSecondRow(true, false);
    EXPECT_EQ(Value("frmEQ.cboVELTA"), -1);
    EXPECT_EQ(TakeWrites(), Join({kBypass0, kPreset + "5"}, Analog(0, 3, 0)));
    EXPECT_EQ(CoefSet0(), (Blob{1, 2, 3}));
}

TEST_F(Eq, StoredSpeakerIsSelectedAndItsSetWrittenAgain) {
    for (int speaker = 0; speaker < 4; ++speaker) {
        Eq s;
        s.Machine();
        s.Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 6);
        s.Sz(schema::kSpeakerCompensation, schema::kCurrSpeakerComp, kSpeakerNames[speaker]);
        s.Open();
        EXPECT_EQ(s.Value("frmEQ.cboEQPreset"), 6);
        EXPECT_EQ(s.Value("frmEQ.cboSpComp"), speaker);
        s.ExpectSecondRow(false, true);
        EXPECT_EQ(
            s.TakeWrites(),
            Join({kBypass0, kPreset + "6", kPageConfig, kBypass0, kActive0, kPreset + "6",
                  kSpeaker + "\"" + kSpeakerNames[speaker] + "\"", Coef(kSpeakerSets[speaker])},
                 Analog(0, 3, 0)))
            << speaker;
        EXPECT_EQ(s.CoefSet0(), kSpeakerSets[speaker]) << speaker;
    }
}

TEST_F(Eq, StoredSpeakerNameMustMatchExactly) {
    const std::vector<std::vector<std::uint8_t>> names = {
        {},  // missing
        {'y', 'a', 'm', 'a', 'h', 'a', ' ', 'y', 's', 't', 'm', '1', '0', '0'},
        {'Y', 'a', 'm', 'a', 'h', 'a', ' ', 'Y', 'S', 'T', 'M', '1', '0', '0', 0},
    };
    for (std::size_t n = 0; n < names.size(); ++n) {
        Eq s;
        s.Machine();
        s.SeedOldSet();
        s.Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 6);
        if (!names[n].empty()) {
            s.Bytes(schema::kSpeakerCompensation, schema::kCurrSpeakerComp, platform::REG_SZ,
                    names[n]);
        }
        s.Open();
        s.ExpectSecondRow(false, true);
        EXPECT_EQ(s.Value("frmEQ.cboSpComp"), -1) << n;
        EXPECT_EQ(s.CoefSet0(), (Blob{1, 2, 3})) << n;
    }
}

TEST_F(Eq, StoredAnalogChannelIsRestored) {
    struct Case {
        int support, enable, line;
        int shown;                        // cboAnalogEQ position after the load
        std::vector<std::string> writes;  // the analog writes of the load
    };
    const Case cases[] = {
        {1, 1, 2, 3, Analog(1, 2, 1)},  // Line-In
        {1, 1, 0, 1, Analog(1, 0, 1)},  // Phone
        {1, 1, 5, 6, Analog(1, 5, 1)},  // Auxiliary
        {1, 1, 7, -1, {}},              // no such line: nothing
        {1, 1, -1, -1, {}},
        {1, 0, 2, 0, Analog(0, 3, 0)},  // not enabled: None, and no longer supported
        {0, 1, 2, 0, Analog(0, 3, 0)},
        {2, 1, 2, -1, {}},  // neither supported nor not: nothing
    };
    for (const Case& c : cases) {
        Eq s;
        s.Machine();
        s.Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
        s.Dword(schema::kCustomization, schema::kSupportAnalogEQ, c.support);
        s.Dword(schema::kControlPanel, schema::kAnalogEQEnableState, c.enable);
        s.Dword(schema::kControlPanel, schema::kAnalogEQSrcLine,
                static_cast<std::uint32_t>(c.line));
        s.Open();
        const std::string what = std::to_string(c.support) + "/" + std::to_string(c.enable) + "/" +
                                 std::to_string(c.line);
        EXPECT_EQ(s.Value("frmEQ.cboAnalogEQ"), c.shown) << what;
        EXPECT_EQ(s.TakeWrites(), Join({kBypass0, kPreset + "5"}, c.writes)) << what;
    }
}

TEST_F(Eq, UnreadableStoredNumbersSelectNothing) {
    struct Case {
        const char* what;
        std::uint32_t type;
        Blob data;
        int shown;
    };
    const Case cases[] = {
        {"text", platform::REG_SZ, {'a', 'b', 'c'}, -1},
        {"empty text", platform::REG_SZ, {}, -1},
        {"7", platform::REG_DWORD, {7, 0, 0, 0}, -1},
        {"-2", platform::REG_DWORD, {0xfe, 0xff, 0xff, 0xff}, -1},
        {"-1", platform::REG_DWORD, {0xff, 0xff, 0xff, 0xff}, -1},
        {"65536", platform::REG_DWORD, {0, 0, 1, 0}, -1},
        {"65539 (3 in the low half)", platform::REG_DWORD, {3, 0, 1, 0}, -1},
        {"binary", platform::REG_BINARY, {3}, 0},  // reads as missing
        {"text 3", platform::REG_SZ, {'3'}, 3},
    };
    for (const Case& c : cases) {
        Eq s;
        s.Machine();
        s.SeedOldSet();
        s.Bytes(schema::kAU8830Equalizer, schema::kPresetNumber, c.type, c.data);
        s.Sz(schema::kDriverEqualizer, schema::kEqBypass, "on");
        s.Sz(schema::kCustomization, schema::kSupportAnalogEQ, "yes");
        s.Open();
        EXPECT_EQ(s.Run("windows"), kMainLocked) << c.what;
        EXPECT_EQ(s.Value("frmEQ.cboEQPreset"), c.shown) << c.what;
        EXPECT_EQ(s.Value("frmEQ.cboAnalogEQ"), -1) << c.what;
        if (c.shown < 0) {
            s.ExpectSwitch(0, 0);
            EXPECT_TRUE(s.TakeWrites().empty()) << c.what;
            EXPECT_EQ(s.CoefSet0(), (Blob{1, 2, 3})) << c.what;
        }
    }
}

// --- The switch -------------------------------------------------------------------------

TEST_F(Eq, OffThenOnStoresOneThenZeroAndNothingElse) {
    Machine();
    Open();
    TakeWrites();
    Run("click frmEQ.optEQ(1)");
    EXPECT_EQ(Bypass(), 1);
    Run("click frmEQ.optEQ(0)");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kBypass1, kBypass0}));
    ExpectSwitch(1, 0);
    EXPECT_EQ(Value("frmEQ.cboEQPreset"), 0);
}

TEST_F(Eq, SwitchWritesNothingWithoutTheDriverKey) {
    WindowsXp();
    Key(schema::kAU8830Equalizer);
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    TakeWrites();
    EXPECT_EQ(Run("click frmEQ.optEQ(1)"), "");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_FALSE(KeyExists(schema::kDriverEqualizer));
}

// --- Presets ----------------------------------------------------------------------------

TEST_F(Eq, EachMusicPresetWritesItsSetAndSwitchesTheEqualizerOn) {
    const Blob* sets[] = {&kRock, &kClassical, &kPop, &kJazz, &kDance};
    Machine();
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    for (int i = 0; i < 5; ++i) {
        Run("click frmEQ.optEQ(1)");
        TakeWrites();
        Run("select frmEQ.cboEQPreset " + std::to_string(i));
        EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kPreset + std::to_string(i),
                                                          Coef(*sets[i]), kBypass0, kActive0}))
            << i;
        EXPECT_EQ(CoefSet0(), *sets[i]) << i;
        EXPECT_EQ(CoefSet0()->size(), 248u);
        // What is shown is what is stored.
        ExpectSwitch(1, 0);
        ExpectSecondRow(false, false);
        EXPECT_TRUE(Visible("frmEQ.cboEQPreset"));
        EXPECT_TRUE(Visible("frmEQ.cboAnalogEQ"));
    }
}

TEST_F(Eq, EachSecondListEntryWritesItsSetButNoPresetNumber) {
    const Blob* sets[] = {&kRock, &kDance, &kPop, &kJazz, &kClassical, &kFlat};
    Machine();
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    for (int j = 0; j < 6; ++j) {
        Run("click frmEQ.optEQ(1)");
        TakeWrites();
        Run("select frmEQ.cboVELTA " + std::to_string(j));
        EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Coef(*sets[j]), kBypass0, kActive0}))
            << j;
        ExpectSwitch(1, 0);
        ExpectSecondRow(true, false);
    }
    EXPECT_EQ(ReadDword(schema::kAU8830Equalizer, schema::kPresetNumber), 5);
}

TEST_F(Eq, UserKeepsTheSetInForceAndTheSecondListsChoiceWhileOpen) {
    Machine();
    Open();  // Rock restored
    TakeWrites();
    Run("select frmEQ.cboEQPreset 5");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kPreset + "5"}));
    EXPECT_EQ(CoefSet0(), kRock);
    ExpectSecondRow(true, false);
    EXPECT_EQ(Value("frmEQ.cboVELTA"), -1);
    Run("select frmEQ.cboVELTA 5\nselect frmEQ.cboEQPreset 1");
    ExpectSecondRow(false, false);
    TakeWrites();
    Run("select frmEQ.cboEQPreset 5");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kPreset + "5"}));
    EXPECT_EQ(Value("frmEQ.cboVELTA"), 5);
    EXPECT_EQ(CoefSet0(), kClassical);
}

TEST_F(Eq, SpeakerCompensationSwitchesOnAndWaitsForASpeaker) {
    Machine();
    Open();
    Run("click frmEQ.optEQ(1)");
    TakeWrites();
    Run("select frmEQ.cboEQPreset 6");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{kPreset + "6", kPageConfig, kBypass0, kActive0}));
    EXPECT_EQ(CoefSet0(), kRock);
    ExpectSwitch(1, 0);
    ExpectSecondRow(false, true);
    EXPECT_EQ(Value("frmEQ.cboSpComp"), -1);
    EXPECT_EQ(ReadSz(schema::kCustomization, schema::kControlPanelPageConfig), "0123456A");
}

TEST_F(Eq, EachSpeakerWritesItsSetAndLeavesTheSwitchAlone) {
    Machine();
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 6);
    Open();
    for (int i = 0; i < 4; ++i) {
        // The switch as a user may have set it since.
        Dword(schema::kDriverEqualizer, schema::kEqBypass, 7);
        Dword(schema::kDriverEqualizer, schema::kActiveCoefSet, 9);
        TakeWrites();
        Run("select frmEQ.cboSpComp " + std::to_string(i));
        EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kPreset + "6",
                                                          kSpeaker + "\"" + kSpeakerNames[i] + "\"",
                                                          Coef(kSpeakerSets[i])}))
            << i;
        EXPECT_EQ(CoefSet0(), kSpeakerSets[i]) << i;
        EXPECT_EQ(ReadSz(schema::kSpeakerCompensation, schema::kCurrSpeakerComp), kSpeakerNames[i]);
        EXPECT_EQ(Bypass(), 7);
        EXPECT_EQ(ReadDword(schema::kDriverEqualizer, schema::kActiveCoefSet), 9);
    }
}

TEST_F(Eq, SecondRowListsAreNeverShownTogether) {
    Machine();
    Open();
    for (const char* step : {"select frmEQ.cboEQPreset 5", "select frmEQ.cboEQPreset 6",
                             "select frmEQ.cboEQPreset 5", "select frmEQ.cboEQPreset 2",
                             "select frmEQ.cboEQPreset 6", "select frmEQ.cboEQPreset 0"}) {
        Run(step);
        EXPECT_FALSE(Visible("frmEQ.cboVELTA") && Visible("frmEQ.cboSpComp")) << step;
    }
    ExpectSecondRow(false, false);
}

// --- Keys that are missing or refused -------------------------------------------------

TEST_F(Eq, FirstMusicPresetCreatesAMissingDriverEqualizerKey) {
    WindowsXp();
    for (const char* key : {schema::kControlPanel, schema::kCustomization, schema::kAU8830Equalizer,
                            schema::kSpeakerCompensation}) {
        Key(key);
    }
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    EXPECT_FALSE(KeyExists(schema::kDriverEqualizer));
    EXPECT_EQ(Run("select frmEQ.cboEQPreset 3"), "");
    EXPECT_TRUE(KeyExists(schema::kDriverEqualizer));
    EXPECT_EQ(CoefSet0(), kJazz);
    EXPECT_EQ(Bypass(), 0);
    EXPECT_EQ(ReadDword(schema::kDriverEqualizer, schema::kActiveCoefSet), 0);
}

TEST_F(Eq, RefusedDriverKeyShowsSorryOnceAndKeepsTheOldSet) {
    Machine();
    SeedOldSet();
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    TakeWrites();
    if (Memory() == nullptr) GTEST_SKIP() << "refused access needs the in-memory registry";
    Memory()->refuseCreate = true;
    // Music: the switch and the active set are still written, into the key that exists.
    EXPECT_EQ(Run("select frmEQ.cboVELTA 1"), kSorry);
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kBypass0, kActive0}));
    EXPECT_EQ(Run("select frmEQ.cboEQPreset 3"), kSorry);
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kPreset + "3", kBypass0, kActive0}));
    // Speaker: its names are already stored when the set cannot be.
    Run("select frmEQ.cboEQPreset 6");
    TakeWrites();
    EXPECT_EQ(Run("select frmEQ.cboSpComp 1"), kSorry);
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{kPreset + "6", kSpeaker + "\"" + kSpeakerNames[1] + "\""}));
    EXPECT_EQ(CoefSet0(), (Blob{1, 2, 3}));
    EXPECT_EQ(recorder_.openHandles, 0);
}

TEST_F(Eq, RefusedAndMissingDriverKeyWritesNothingThere) {
    WindowsXp();
    Key(schema::kAU8830Equalizer);
    Dword(schema::kAU8830Equalizer, schema::kPresetNumber, 5);
    Open();
    TakeWrites();
    if (Memory() == nullptr) GTEST_SKIP() << "refused access needs the in-memory registry";
    Memory()->refuseCreate = true;
    EXPECT_EQ(Run("select frmEQ.cboEQPreset 0"), kSorry);
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kPreset + "0"}));
    EXPECT_FALSE(KeyExists(schema::kDriverEqualizer));
    ExpectSwitch(1, 0);
}

TEST_F(Eq, MissingCardSoftwareAndCustomizationKeysDropTheirValuesSilently) {
    WindowsXp();
    Key(schema::kControlPanel);
    Key(schema::kDriverEqualizer);
    Open();
    TakeWrites();
    EXPECT_EQ(Run("select frmEQ.cboEQPreset 6\nselect frmEQ.cboSpComp 2"), "");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{kBypass0, kActive0, Coef(kSpeakerSets[2])}));
    EXPECT_FALSE(KeyExists(schema::kSpeakerCompensation));
    EXPECT_FALSE(KeyExists(schema::kCustomization));
}

// --- Analog EQ channel ------------------------------------------------------------------

TEST_F(Eq, EachAnalogChannelStoresItsThreeValuesInOrder) {
    Machine();
    Open();
    const int expected[7][3] = {{0, 3, 0}, {1, 0, 1}, {1, 1, 1}, {1, 2, 1},
                                {1, 3, 1}, {1, 4, 1}, {1, 5, 1}};
    for (int i : {1, 2, 3, 4, 5, 6, 0}) {
        TakeWrites();
        Run("select frmEQ.cboAnalogEQ " + std::to_string(i));
        EXPECT_EQ(TakeWrites(), Analog(expected[i][0], expected[i][1], expected[i][2])) << i;
    }
    // CD-ROM then None: the line stays 3 throughout.
    Run("select frmEQ.cboAnalogEQ 4");
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kAnalogEQSrcLine), 3);
    EXPECT_EQ(ReadDword(schema::kCustomization, schema::kSupportAnalogEQ), 1);
    Run("select frmEQ.cboAnalogEQ 0");
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kAnalogEQSrcLine), 3);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kAnalogEQEnableState), 0);
    EXPECT_EQ(ReadDword(schema::kCustomization, schema::kSupportAnalogEQ), 0);
}

}  // namespace
}  // namespace testing_support
