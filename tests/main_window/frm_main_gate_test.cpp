// The Windows XP gate, its override, and closing the main window.
#include "support/scenario.h"

namespace testing_support {
namespace {

const char* const kLocked[] = {"frmMain.SSTab1", "frmMain.cmdWPCRSET", "frmMain.chkA3DSplash",
                               "frmMain.chkPlayA3D", "frmMain.chkTray"};

const char* const kGateMessage =
    "message title=\"Incorrect Operating System\" icon=critical buttons=ok text=\"You don't "
    "appear to be running Windows XP.  This control panel will only work with Windows XP.  "
    "Please use the Control Panel application included with the drivers for your operating "
    "system.  You may use the Override button if you're sure that you're running XP.\"\n";

class Gate : public Scenario {
  public:
    void TestBody() override {}
};

TEST_F(Gate, PassesOnNt51WithoutAMessage) {
    WindowsXp();
    DriverKeys();
    EXPECT_EQ(Start(), "");
    EXPECT_FALSE(Visible("frmMain.cmdOverride"));
    EXPECT_TRUE(Enabled("frmMain.cmdReset"));
    for (const char* control : kLocked) EXPECT_TRUE(Enabled(control)) << control;
    EXPECT_EQ(Text("frmMain.txtOSName"), "Windows XP");
    const ui::Form& main = *app_.FindForm("frmMain");
    EXPECT_TRUE(main.singleBorder);
    EXPECT_FALSE(main.resizable);
}

struct Refused {
    std::uint32_t platformId, major, minor;
};

TEST_F(Gate, RefusesEveryOtherVersionAndLocksThePages) {
    for (const Refused version : {Refused{2, 5, 2}, Refused{2, 6, 0}, Refused{2, 5, 0},
                                  Refused{1, 4, 10}, Refused{2, 10, 0}}) {
        Gate scenario;
        scenario.WindowsVersion(version.platformId, version.major, version.minor);
        EXPECT_EQ(scenario.Start(), kGateMessage) << version.major << "." << version.minor;
        for (const char* control : kLocked) EXPECT_FALSE(scenario.Enabled(control)) << control;
        EXPECT_TRUE(scenario.Visible("frmMain.cmdOverride"));
        EXPECT_TRUE(scenario.Enabled("frmMain.cmdOverride"));
        EXPECT_TRUE(scenario.Enabled("frmMain.cmdReset"));
        EXPECT_TRUE(scenario.Enabled("frmMain.cmdAbout"));
        EXPECT_TRUE(scenario.Enabled("frmMain.cmdOK"));
        // No setting was read, so the design texts stand.
        EXPECT_EQ(scenario.Text("frmMain.txtAppPath"), "Text1");
        EXPECT_EQ(scenario.Text("frmMain.txtDrvVer"), "NA");
    }
}

TEST_F(Gate, AFailedVersionQueryCountsAsNotXp) {
    DriverKeys();
    EXPECT_EQ(Start(), kGateMessage);
    EXPECT_EQ(Text("frmMain.txtOSName"), "");
    EXPECT_FALSE(Enabled("frmMain.SSTab1"));
}

TEST_F(Gate, LockedPagesRefuseTheUser) {
    WindowsVersion(2, 5, 2);
    DriverKeys();
    Start();
    EXPECT_EQ(Run("click frmMain.chkTray\nselect frmMain.cboA3DType 1\n"),
              "error: frmMain.chkTray is disabled or hidden\n"
              "error: frmMain.cboA3DType is disabled or hidden\n");
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(Gate, OverrideWarnsOnceAndUnlocks) {
    WindowsVersion(2, 5, 2);
    DriverKeys();
    Start();
    EXPECT_EQ(Run("click frmMain.cmdOverride"),
              "message title=\"Information\" icon=information buttons=ok text=\"Forcing Windows "
              "XP detection is risky and can damage your Windows installation if it isn't "
              "Windows XP.\"\n");
    EXPECT_FALSE(Visible("frmMain.cmdOverride"));
    for (const char* control : kLocked) EXPECT_TRUE(Enabled(control)) << control;
    // Hidden now, so it cannot run a second time.
    EXPECT_EQ(Run("click frmMain.cmdOverride"),
              "error: frmMain.cmdOverride is disabled or hidden\n");
}

TEST_F(Gate, ToolsListHoldsItsEntriesInBothStates) {
    for (bool xp : {true, false}) {
        Gate scenario;
        if (xp) scenario.WindowsXp();
        scenario.DriverKeys();
        scenario.Start();
        const std::string dump = scenario.Run("dump frmMain");
        EXPECT_NE(dump.find("frmMain.ListView1 iconlist visible=1 enabled=1 value=-1"),
                  std::string::npos);
    }
}

TEST_F(Gate, OkAndTheTitleBarBothEndTheSystem) {
    for (const char* how : {"click frmMain.cmdOK", "close frmMain"}) {
        Gate scenario;
        scenario.WindowsXp();
        scenario.DriverKeys();
        scenario.Start();
        scenario.Run(how);
        EXPECT_TRUE(scenario.app_.Ended()) << how;
        EXPECT_EQ(scenario.Run("windows"), "") << how;
    }
}

}  // namespace
}  // namespace testing_support
