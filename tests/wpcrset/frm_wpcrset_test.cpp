// The WPCRSET window: its load and the detection of a missing WPCRSET, the start-up switches,
// the enabling rules, the records for every chipset and slot, the VIA options, the help texts
// and every way of closing it.
#include <cstdio>

#include "settings/schema.h"
#include "support/scenario.h"
#include "wpcrset/frm_wpcrset.h"

namespace testing_support {
namespace {

const std::string kMainUsable = "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n";

std::string Params(const std::string& rest) {
    return std::string(schema::kWpcrsetParameters) + "\\" + rest;
}
std::string Service(const std::string& rest) {
    return std::string(schema::kWpcrsetService) + "\\" + rest;
}
std::string Panel(const std::string& rest) {
    return std::string(schema::kControlPanel) + "\\" + rest;
}
std::string Slot(int n) {
    char name[8];
    std::snprintf(name, sizeof name, "Reg%02d", n);
    return name;
}
std::string Dw(const std::string& path, std::int64_t value) {
    return path + "=dword:" + std::to_string(static_cast<std::int32_t>(value));
}

// A record as WPCRSET reads it: bus, device * 8 + function, then two constant bytes.
std::int64_t Record(int bus, int device, int function, int first, int second) {
    return (static_cast<std::int64_t>(bus) << 24) | ((device * 8 + function) << 16) | (first << 8) |
           second;
}

class Wpcrset : public Scenario {
  public:
    void TestBody() override {}

    // A started main window on Windows XP with the driver's keys and an installed WPCRSET
    // ("Start" 1 in its parameters, boot start for its service); the load's writes dropped.
    void Ready(std::int64_t parametersStart = 1, std::int64_t serviceStart = 0) {
        WindowsXp();
        DriverKeys();
        Key(schema::kWpcrsetService);
        Key(schema::kWpcrsetParameters);
        if (parametersStart >= 0) {
            Dword(schema::kWpcrsetParameters, schema::kStart,
                  static_cast<std::uint32_t>(parametersStart));
        }
        if (serviceStart >= 0) {
            Dword(schema::kWpcrsetService, schema::kStart,
                  static_cast<std::uint32_t>(serviceStart));
        }
        Start();
        TakeWrites();
    }
    std::string Open() { return Run("click frmMain.cmdWPCRSET"); }
    wpcrset::FrmWPCRSET& Form() {
        return *dynamic_cast<wpcrset::FrmWPCRSET*>(app_.FindForm("frmWPCRSET"));
    }
    std::string Windows() { return Run("windows"); }
};

TEST_F(Wpcrset, OpensWithStartAndEnableWritesThemBackAndLocksTheMainWindow) {
    Ready();
    EXPECT_EQ(Open(), "");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Panel("VIAFix"), 0), Dw(Panel("VIAAGP"), 0),
                                        Dw(Params("Start"), 1), Dw(Service("Start"), 0)}));
    EXPECT_EQ(Windows(),
              "window frmMain visible=0 enabled=0 caption=\"Calvenor XP\"\n"
              "window frmWPCRSET visible=1 enabled=1 caption=\"WPCRSET Configuration\"\n");
    EXPECT_EQ(Value("frmWPCRSET.optWPCRSET(0)"), 1);
    EXPECT_EQ(Value("frmWPCRSET.optWPCRSET(1)"), 0);
    EXPECT_EQ(Value("frmWPCRSET.optWDevice(0)"), 1);
    EXPECT_EQ(Value("frmWPCRSET.optWDevice(1)"), 0);
    for (const char* c : {"cboChipset", "cboDevice"}) {
        EXPECT_EQ(Value(std::string("frmWPCRSET.") + c), -1) << c;
    }
    for (const char* c : {"chkVIAFix", "chkVIAAGP", "cboDevice", "cmdUpdate"}) {
        EXPECT_FALSE(Enabled(std::string("frmWPCRSET.") + c)) << c;
    }
    for (const char* c : {"chkVIAFix", "chkVIAAGP"}) {
        EXPECT_EQ(Value(std::string("frmWPCRSET.") + c), 0) << c;
    }
    for (const char* c : {"cboChipset", "cmdRemove", "Command1", "cmdWPCRHelp", "cmdVIAHelp"}) {
        EXPECT_TRUE(Enabled(std::string("frmWPCRSET.") + c)) << c;
    }
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAFix), 0);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAAGP), 0);
}

TEST_F(Wpcrset, DesignTabOrderFontsAndLists) {
    Ready();
    Open();
    const wpcrset::FrmWPCRSET& form = Form();
    EXPECT_EQ(form.width(), 4785);
    EXPECT_EQ(form.height(), 5040);
    EXPECT_TRUE(form.centerOnOwner);
    EXPECT_FALSE(form.resizable);
    EXPECT_TRUE(form.singleBorder);
    std::vector<std::string> order;
    for (const auto& c : form.controls()) order.push_back(c->id());
    EXPECT_EQ(order,
              (std::vector<std::string>{
                  "Frame1",        "optWPCRSET(0)", "optWPCRSET(1)", "Frame2",    "optWDevice(0)",
                  "optWDevice(1)", "Label1",        "cmdWPCRHelp",   "Command1",  "Label2",
                  "Frame3",        "chkVIAFix",     "cmdUpdate",     "cboDevice", "cboChipset",
                  "Label4",        "Label3",        "Label5",        "chkVIAAGP", "cmdVIAHelp",
                  "cmdRemove"}));
    EXPECT_EQ(form.Label1->font.face, "Tahoma");
    EXPECT_DOUBLE_EQ(form.Label1->font.points, 15.75);
    EXPECT_EQ(form.Label5->font.face, "Tahoma");
    EXPECT_DOUBLE_EQ(form.Label5->font.points, 14.25);
    EXPECT_EQ(form.cboChipset->items,
              (std::vector<std::string>{"VIA", "AMD", "Intel i81x", "Intel BX", "Other"}));
    EXPECT_EQ(form.cboDevice->items,
              (std::vector<std::string>{"8 (PCI 1)", "9 (PCI 2)", "10 (PCI 3)", "11 (PCI 4)",
                                        "12 (PCI 5)", "13 (PCI 6)"}));
    EXPECT_EQ(Caption("frmWPCRSET.Label2"),
              "This executable doesn't contain any of WPCRSET, but acts as an interface to it. "
              "You must install WPCRSET first.");
    struct At {
        const char* id;
        int left, top;
        const char* frame;
    };
    for (const At at : {At{"Label1", 120, 120, nullptr}, At{"cmdWPCRHelp", 4440, 240, nullptr},
                        At{"Frame1", 120, 600, nullptr}, At{"optWPCRSET(1)", 1080, 360, "Frame1"},
                        At{"Frame2", 2520, 600, nullptr}, At{"optWDevice(0)", 120, 360, "Frame2"},
                        At{"Label5", 120, 1680, nullptr}, At{"cmdVIAHelp", 4440, 1800, nullptr},
                        At{"Frame3", 120, 2160, nullptr}, At{"cboChipset", 840, 480, "Frame3"},
                        At{"cboDevice", 3240, 480, "Frame3"}, At{"chkVIAFix", 120, 1080, "Frame3"},
                        At{"cmdUpdate", 2160, 1200, "Frame3"}, At{"chkVIAAGP", 120, 1440, "Frame3"},
                        At{"Label2", 120, 4080, nullptr}, At{"cmdRemove", 3480, 4080, nullptr},
                        At{"Command1", 3480, 4560, nullptr}}) {
        const ui::Control* c = form.Find(at.id);
        ASSERT_NE(c, nullptr) << at.id;
        EXPECT_EQ(c->place.left, at.left) << at.id;
        EXPECT_EQ(c->place.top, at.top) << at.id;
        EXPECT_EQ(c->container ? c->container->name() : "", at.frame ? at.frame : "") << at.id;
        EXPECT_TRUE(c->tooltip.empty()) << at.id;
    }
}

TEST_F(Wpcrset, MissingWpcrsetIsReportedOnceAndTheWindowNeverOpens) {
    const std::string message =
        "message title=\"Information\" icon=information buttons=ok text=\"WPCRSET doesn't "
        "appear to be installed on your system.  Please download it from " +
        std::string(wpcrset::kDownloadSite) +
        " and put it into a folder of your choice.  Then run INSTDD.EXE.  After that, then you "
        "will be able to configure these options.\"\n";
    struct Case {
        const char* what;
        bool serviceKey, parametersKey, serviceStart, parametersStart;
    };
    for (const Case c : {Case{"only the service key", true, false, true, false},
                         Case{"nothing at all", false, false, false, false},
                         Case{"no service start", true, true, false, true},
                         Case{"no parameters start", true, true, true, false}}) {
        Wpcrset s;
        s.WindowsXp();
        s.DriverKeys();
        if (c.serviceKey) s.Key(schema::kWpcrsetService);
        if (c.parametersKey) s.Key(schema::kWpcrsetParameters);
        if (c.serviceStart) s.Dword(schema::kWpcrsetService, schema::kStart, 0);
        if (c.parametersStart) s.Dword(schema::kWpcrsetParameters, schema::kStart, 1);
        s.Start();
        s.TakeWrites();
        EXPECT_EQ(s.Open(), message) << c.what;
        EXPECT_EQ(s.Windows(), kMainUsable) << c.what;
        // The VIA options were created before the detection; nothing else was written.
        EXPECT_EQ(s.TakeWrites(),
                  (std::vector<std::string>{Dw(Panel("VIAFix"), 0), Dw(Panel("VIAAGP"), 0)}))
            << c.what;
        // The main window is still usable, and each opening repeats the detection.
        EXPECT_EQ(s.Open(), message) << c.what;
        EXPECT_EQ(s.Windows(), kMainUsable) << c.what;
    }
}

TEST_F(Wpcrset, StartValuesSelectTheirOptionsOrNone) {
    struct Case {
        std::int64_t parameters, service;
        int start, stop, enable, disable;
    };
    for (const Case c : {Case{1, 0, 1, 0, 1, 0}, Case{0, 4, 0, 1, 0, 1}, Case{1, 2, 1, 0, 0, 0},
                         Case{1, 3, 1, 0, 0, 0}, Case{1, 1, 1, 0, 0, 0}, Case{7, 0, 0, 0, 1, 0}}) {
        Wpcrset s;
        s.Ready(c.parameters, c.service);
        s.Open();
        const std::string at = std::to_string(c.parameters) + "/" + std::to_string(c.service);
        EXPECT_EQ(s.Value("frmWPCRSET.optWPCRSET(0)"), c.start) << at;
        EXPECT_EQ(s.Value("frmWPCRSET.optWPCRSET(1)"), c.stop) << at;
        EXPECT_EQ(s.Value("frmWPCRSET.optWDevice(0)"), c.enable) << at;
        EXPECT_EQ(s.Value("frmWPCRSET.optWDevice(1)"), c.disable) << at;
        // Only what selected an option is written back, unchanged.
        std::vector<std::string> expected = {Dw(Panel("VIAFix"), 0), Dw(Panel("VIAAGP"), 0)};
        if (c.start + c.stop) expected.push_back(Dw(Params("Start"), c.parameters));
        if (c.enable + c.disable) expected.push_back(Dw(Service("Start"), c.service));
        EXPECT_EQ(s.TakeWrites(), expected) << at;
    }
}

TEST_F(Wpcrset, StartUpSwitchesWriteAtOnce) {
    Ready(1, 2);
    Open();
    TakeWrites();
    EXPECT_EQ(Run("click frmWPCRSET.optWDevice(0)"), "");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Service("Start"), 0)}));
    Run("click frmWPCRSET.optWDevice(1)");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Service("Start"), 4)}));
    EXPECT_EQ(Value("frmWPCRSET.optWDevice(0)"), 0);
    Run("click frmWPCRSET.optWPCRSET(1)");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Params("Start"), 0)}));
    Run("click frmWPCRSET.optWPCRSET(0)");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Params("Start"), 1)}));
    EXPECT_EQ(ReadDword(schema::kWpcrsetService, schema::kStart), 4);
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, schema::kStart), 1);
}

TEST_F(Wpcrset, DisabledServiceOpensWithDisableAndEnableStoresZero) {
    Ready(1, 4);
    Open();
    EXPECT_EQ(Value("frmWPCRSET.optWDevice(1)"), 1);
    TakeWrites();
    Run("click frmWPCRSET.optWDevice(0)");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Service("Start"), 0)}));
    EXPECT_EQ(ReadDword(schema::kWpcrsetService, schema::kStart), 0);
}

TEST_F(Wpcrset, UpdateWaitsForAChipsetAndThenASlot) {
    Ready();
    Open();
    EXPECT_EQ(Run("click frmWPCRSET.cmdUpdate\nselect frmWPCRSET.cboDevice 0"),
              "error: frmWPCRSET.cmdUpdate is disabled or hidden\n"
              "error: frmWPCRSET.cboDevice is disabled or hidden\n");
    Run("select frmWPCRSET.cboChipset 1");
    EXPECT_TRUE(Enabled("frmWPCRSET.cboDevice"));
    EXPECT_FALSE(Enabled("frmWPCRSET.cmdUpdate"));
    Run("select frmWPCRSET.cboDevice 0");
    EXPECT_TRUE(Enabled("frmWPCRSET.cmdUpdate"));
    TakeWrites();
    // Choosing writes nothing.
    Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 3");
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(Wpcrset, EveryChipsetAndSlotWritesItsRecordAndOneCount) {
    Ready();
    Open();
    int pairs = 0;
    for (int chipset = 0; chipset < 5; ++chipset) {
        Run("select frmWPCRSET.cboChipset " + std::to_string(chipset));
        for (int slot = 0; slot < 6; ++slot) {
            Run("select frmWPCRSET.cboDevice " + std::to_string(slot));
            TakeWrites();
            EXPECT_EQ(Run("click frmWPCRSET.cmdUpdate"), "");
            // "Intel i81x" puts its slots on bus 1; PCI slot n is device 8 + n - 1.
            const std::int64_t record = Record(chipset == 2 ? 1 : 0, 8 + slot, 0, 0x40, 0xFF);
            EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Params("Reg00"), record),
                                                              Dw(Params("RegCnt"), 1)}))
                << chipset << "," << slot;
            EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "Reg00"), record);
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, 30);
    EXPECT_FALSE(ReadDword(schema::kWpcrsetParameters, "Reg01").has_value());
}

TEST_F(Wpcrset, UpdateSpotValues) {
    Ready();
    Open();
    Run("select frmWPCRSET.cboChipset 2\nselect frmWPCRSET.cboDevice 2\nclick "
        "frmWPCRSET.cmdUpdate");
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "Reg00"), 0x015040FF);
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "RegCnt"), 1);
    Run("select frmWPCRSET.cboChipset 4\nselect frmWPCRSET.cboDevice 5\nclick "
        "frmWPCRSET.cmdUpdate");
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "Reg00"), 6832383);
}

TEST_F(Wpcrset, ViaFixAddsTheSecondRecordFastAgpChangesIt) {
    Ready();
    Open();
    Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 0");
    EXPECT_TRUE(Enabled("frmWPCRSET.chkVIAFix"));
    EXPECT_TRUE(Enabled("frmWPCRSET.chkVIAAGP"));
    TakeWrites();
    Run("click frmWPCRSET.chkVIAFix");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Panel("VIAFix"), 1)}));
    Run("click frmWPCRSET.cmdUpdate");
    const std::int64_t fix = Record(0, 1, 0, 0x42, 0x10);
    EXPECT_EQ(fix, 0x00084210);
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 8, 0, 0x40, 0xFF)),
                                        Dw(Params("Reg01"), fix), Dw(Params("RegCnt"), 2)}));
    Run("click frmWPCRSET.chkVIAAGP");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Panel("VIAAGP"), 1)}));
    Run("click frmWPCRSET.cmdUpdate");
    const std::int64_t fast = Record(0, 1, 0, 0x42, 0x70);
    EXPECT_EQ(fast, 541296);
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 8, 0, 0x40, 0xFF)),
                                        Dw(Params("Reg01"), fast), Dw(Params("RegCnt"), 2)}));
}

TEST_F(Wpcrset, ViaWithoutTheFixCountsOneAndLeavesAnOlderSecondRecord) {
    Ready();
    Dword(schema::kWpcrsetParameters, "Reg01", 0x00084270);
    Open();
    Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 4");
    TakeWrites();
    Run("click frmWPCRSET.cmdUpdate");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 12, 0, 0x40, 0xFF)),
                                        Dw(Params("RegCnt"), 1)}));
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "Reg01"), 0x00084270);
}

TEST_F(Wpcrset, UncheckingTheFixKeepsFastAgpCheckedButDisabled) {
    Ready();
    Open();
    Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 0");
    TakeWrites();
    Run("click frmWPCRSET.chkVIAFix\nclick frmWPCRSET.chkVIAAGP\nclick frmWPCRSET.chkVIAFix");
    // The boxes alone change the two options and no record.
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Panel("VIAFix"), 1), Dw(Panel("VIAAGP"), 1),
                                        Dw(Panel("VIAFix"), 0)}));
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAFix), 0);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAAGP), 1);
    EXPECT_FALSE(Enabled("frmWPCRSET.chkVIAAGP"));
    EXPECT_EQ(Value("frmWPCRSET.chkVIAAGP"), 1);
    Run("click frmWPCRSET.cmdUpdate");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 8, 0, 0x40, 0xFF)),
                                        Dw(Params("RegCnt"), 1)}));
}

TEST_F(Wpcrset, StoredOptionsLoadCheckedButLockedAndAreWrittenBack) {
    for (bool agp : {false, true}) {
        Wpcrset s;
        s.WindowsXp();
        s.DriverKeys();
        s.Dword(schema::kControlPanel, schema::kVIAFix, 1);
        if (agp) s.Dword(schema::kControlPanel, schema::kVIAAGP, 1);
        s.Key(schema::kWpcrsetParameters);
        s.Dword(schema::kWpcrsetParameters, schema::kStart, 1);
        s.Dword(schema::kWpcrsetService, schema::kStart, 0);
        s.Start();
        s.TakeWrites();
        s.Open();
        std::vector<std::string> expected;
        if (!agp) expected.push_back(Dw(Panel("VIAAGP"), 0));
        expected.push_back(Dw(Params("Start"), 1));
        expected.push_back(Dw(Service("Start"), 0));
        expected.push_back(Dw(Panel("VIAFix"), 1));
        if (agp) expected.push_back(Dw(Panel("VIAAGP"), 1));
        EXPECT_EQ(s.TakeWrites(), expected) << agp;
        EXPECT_EQ(s.Value("frmWPCRSET.chkVIAFix"), 1);
        EXPECT_EQ(s.Value("frmWPCRSET.chkVIAAGP"), agp ? 1 : 0);
        EXPECT_FALSE(s.Enabled("frmWPCRSET.chkVIAFix"));
        EXPECT_FALSE(s.Enabled("frmWPCRSET.chkVIAAGP"));
        s.Run("select frmWPCRSET.cboChipset 0");
        EXPECT_TRUE(s.Enabled("frmWPCRSET.chkVIAFix"));
        EXPECT_TRUE(s.Enabled("frmWPCRSET.chkVIAAGP"));
        // Another chipset locks both again and keeps their checks.
        s.Run("select frmWPCRSET.cboChipset 1");
        EXPECT_FALSE(s.Enabled("frmWPCRSET.chkVIAFix"));
        EXPECT_FALSE(s.Enabled("frmWPCRSET.chkVIAAGP"));
        EXPECT_TRUE(s.Enabled("frmWPCRSET.cboDevice"));
        EXPECT_EQ(s.Value("frmWPCRSET.chkVIAFix"), 1);
        EXPECT_EQ(s.Value("frmWPCRSET.chkVIAAGP"), agp ? 1 : 0);
        EXPECT_TRUE(s.TakeWrites().empty());
    }
}

// What the window shows checked is what the update uses, also after an update for another
// chipset (which only clears the window's own copy of the option).
TEST_F(Wpcrset, ViaAgainAfterAnotherChipsetUsesTheCheckedFix) {
    Ready();
    Open();
    Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 1\n"
        "click frmWPCRSET.chkVIAFix\nselect frmWPCRSET.cboChipset 1\nclick frmWPCRSET.cmdUpdate");
    EXPECT_FALSE(Enabled("frmWPCRSET.chkVIAFix"));
    EXPECT_FALSE(Enabled("frmWPCRSET.chkVIAAGP"));
    EXPECT_EQ(Value("frmWPCRSET.chkVIAFix"), 1);
    EXPECT_EQ(Form().ViaFixState, "0");
    // "VIAFix" is not touched by the update.
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAFix), 1);
    TakeWrites();
    Run("select frmWPCRSET.cboChipset 0\nclick frmWPCRSET.cmdUpdate");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 9, 0, 0x40, 0xFF)),
                                        Dw(Params("Reg01"), 0x00084210), Dw(Params("RegCnt"), 2)}));
    EXPECT_EQ(Form().ViaFixState, "1");
    // And an unchecked box after the same detour writes one record.
    Run("click frmWPCRSET.chkVIAFix\nselect frmWPCRSET.cboChipset 3\nclick frmWPCRSET.cmdUpdate\n"
        "select frmWPCRSET.cboChipset 0");
    TakeWrites();
    Run("click frmWPCRSET.cmdUpdate");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 9, 0, 0x40, 0xFF)),
                                        Dw(Params("RegCnt"), 1)}));
}

TEST_F(Wpcrset, FastAgpNeitherZeroNorOneWritesTheSlotRecordAlone) {
    Ready();
    Dword(schema::kControlPanel, schema::kVIAFix, 1);
    Dword(schema::kControlPanel, schema::kVIAAGP, 5);
    Open();
    EXPECT_EQ(Value("frmWPCRSET.chkVIAAGP"), 0);
    Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 0");
    TakeWrites();
    Run("click frmWPCRSET.cmdUpdate");
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Reg00"), Record(0, 8, 0, 0x40, 0xFF))}));
}

// Another program may have stored the options as text: nothing fails, and no record outside
// the table is written.
TEST_F(Wpcrset, OptionsStoredAsTextNeverProduceAStrayRecord) {
    struct Case {
        std::optional<std::string> fix;  // nullopt: dword 1
        std::string agp;
        bool fixShown, agpShown;
        std::vector<std::string> update;  // after Reg00
    };
    const std::string reg01 = Params("Reg01");
    const std::vector<Case> cases = {
        {"yes", "fast", false, false, {Dw(Params("RegCnt"), 1)}},
        {std::nullopt, "fast", true, false, {}},
        {std::nullopt, "", true, false, {Dw(reg01, 0x00084210), Dw(Params("RegCnt"), 2)}},
        {std::nullopt, "1", true, true, {Dw(reg01, 0x00084270), Dw(Params("RegCnt"), 2)}},
        {"1", "0", true, false, {Dw(reg01, 0x00084210), Dw(Params("RegCnt"), 2)}},
        {std::string("1\0", 2), "0", false, false, {Dw(Params("RegCnt"), 1)}},
    };
    for (const Case& c : cases) {
        Wpcrset s;
        s.Ready();
        if (c.fix) {
            s.Sz(schema::kControlPanel, schema::kVIAFix, *c.fix);
        } else {
            s.Dword(schema::kControlPanel, schema::kVIAFix, 1);
        }
        s.Sz(schema::kControlPanel, schema::kVIAAGP, c.agp);
        s.Open();
        const std::string at = c.fix.value_or("dword 1") + "/" + c.agp;
        EXPECT_EQ(s.Value("frmWPCRSET.chkVIAFix"), c.fixShown ? 1 : 0) << at;
        EXPECT_EQ(s.Value("frmWPCRSET.chkVIAAGP"), c.agpShown ? 1 : 0) << at;
        s.Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 0");
        s.TakeWrites();
        EXPECT_EQ(s.Run("click frmWPCRSET.cmdUpdate"), "") << at;
        std::vector<std::string> expected = {Dw(Params("Reg00"), Record(0, 8, 0, 0x40, 0xFF))};
        expected.insert(expected.end(), c.update.begin(), c.update.end());
        EXPECT_EQ(s.TakeWrites(), expected) << at;
    }
}

TEST_F(Wpcrset, CheckedTextOptionsAreWrittenBackAsNumbers) {
    Ready();
    Sz(schema::kControlPanel, schema::kVIAFix, "1");
    Sz(schema::kControlPanel, schema::kVIAAGP, "1");
    Open();
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAFix), 1);
    EXPECT_EQ(ReadDword(schema::kControlPanel, schema::kVIAAGP), 1);
}

TEST_F(Wpcrset, RemoveAllCountsZeroAndDeletesEverySlot) {
    Ready();
    Dword(schema::kWpcrsetParameters, "RegCnt", 1);
    Dword(schema::kWpcrsetParameters, "Reg00", 0x004040FF);
    Open();
    Run("select frmWPCRSET.cboChipset 0");
    TakeWrites();
    EXPECT_EQ(Run("click frmWPCRSET.cmdRemove"), "");
    EXPECT_EQ(TakeWrites(), (std::vector<std::string>{Dw(Params("RegCnt"), 0), Params("Reg00=-")}));
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "RegCnt"), 0);
    EXPECT_FALSE(ReadRaw(schema::kWpcrsetParameters, "Reg00").has_value());
    // The switches, the options and the window's controls keep their state.
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, schema::kStart), 1);
    EXPECT_EQ(ReadDword(schema::kWpcrsetService, schema::kStart), 0);
    EXPECT_EQ(Value("frmWPCRSET.cboChipset"), 0);
    EXPECT_TRUE(Enabled("frmWPCRSET.chkVIAFix"));

    // With all sixteen slots filled, every one goes, in order.
    for (int n = 0; n < 16; ++n) Dword(schema::kWpcrsetParameters, Slot(n), n);
    Run("click frmWPCRSET.cmdRemove");
    std::vector<std::string> expected = {Dw(Params("RegCnt"), 0)};
    for (int n = 0; n < 16; ++n) expected.push_back(Params(Slot(n) + "=-"));
    EXPECT_EQ(TakeWrites(), expected);
    for (int n = 0; n < 16; ++n) {
        EXPECT_FALSE(ReadRaw(schema::kWpcrsetParameters, Slot(n)).has_value()) << n;
    }
    // A key beyond the sixteen slots is not WPCRSET's record and stays.
    Dword(schema::kWpcrsetParameters, "Reg16", 1);
    Run("click frmWPCRSET.cmdRemove");
    EXPECT_EQ(ReadDword(schema::kWpcrsetParameters, "Reg16"), 1);
}

TEST_F(Wpcrset, HelpTextsAreExact) {
    Ready();
    Open();
    TakeWrites();
    const std::string via =
        "This allows you to enable the Vortex VIA compatability mode.  The <Fix VIA AGP "
        "Problem> option fixes a problem with VIA Tech North-Bridges whereby certain AGP cards "
        "can stop PCI sound cards from functioning correctly. VERY IMPORTANT: Please note that "
        "all previous WPCRSET options will be deleted.  It is recommended that you do not use "
        "both this and the WPCRSET configuration utility.  Use one or the other.  This "
        "integrated version is easier to use for beginners.";
    const std::string wpcr =
        "This allows you to configure the way that WPCRSET loadsd at Windows startup.  For it "
        "to work correctly, WPCRSET should be set to Start, and Device should be set to "
        "Enable.  You can use this to stop the program without having to actually un-install "
        "it.";
    EXPECT_EQ(via.size(), 464u);
    EXPECT_EQ(wpcr.size(), 251u);
    const std::string head = "message title=\"Information\" icon=information buttons=ok text=\"";
    EXPECT_EQ(Run("click frmWPCRSET.cmdVIAHelp"), head + via + "\"\n");
    EXPECT_EQ(Run("click frmWPCRSET.cmdWPCRHelp"), head + wpcr + "\"\n");
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(Wpcrset, EveryWayOfClosingGivesTheMainWindowBack) {
    for (const char* how : {"click frmWPCRSET.Command1", "close frmWPCRSET"}) {
        Wpcrset s;
        s.Ready();
        s.Open();
        s.Run("select frmWPCRSET.cboChipset 0\nselect frmWPCRSET.cboDevice 2");
        s.TakeWrites();
        EXPECT_EQ(s.Run(how), "") << how;
        EXPECT_EQ(s.Windows(), kMainUsable) << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
        // A new opening starts afresh.
        s.Open();
        EXPECT_EQ(s.Value("frmWPCRSET.cboChipset"), -1) << how;
        EXPECT_FALSE(s.Enabled("frmWPCRSET.cmdUpdate")) << how;
        s.Run(how);
        EXPECT_EQ(s.Windows(), kMainUsable) << how;
    }
}

TEST_F(Wpcrset, WithoutTheDriverKeyTheOptionsAreNotCreated) {
    WindowsXp();
    Key(schema::kWpcrsetParameters);
    Dword(schema::kWpcrsetParameters, schema::kStart, 1);
    Dword(schema::kWpcrsetService, schema::kStart, 0);
    Start();
    TakeWrites();
    Open();
    EXPECT_FALSE(KeyExists(schema::kControlPanel));
    EXPECT_EQ(TakeWrites(),
              (std::vector<std::string>{Dw(Params("Start"), 1), Dw(Service("Start"), 0)}));
    Run("select frmWPCRSET.cboChipset 0\nclick frmWPCRSET.chkVIAFix");
    EXPECT_EQ(Value("frmWPCRSET.chkVIAFix"), 1);
    EXPECT_TRUE(TakeWrites().empty());
}

}  // namespace
}  // namespace testing_support
