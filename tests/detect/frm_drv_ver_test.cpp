// The driver information window: its advice for each known driver package and A3D runtime,
// and how it takes the main window away and gives it back.
#include "detect/frm_drv_ver.h"
#include "settings/schema.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

const char* const kNoDriver = "You don't appear to have any drivers installed correctly";
const char* const kA3DOk = "Your A3D driver seems OK.";

platform::FixedFileVersion Version(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                   std::uint32_t d) {
    return {(a << 16) | b, (c << 16) | d};
}

class DrvVer : public Scenario {
  public:
    void TestBody() override {}

    // Loads on XP with these files, then opens the window.
    void Open() {
        DriverKeys();
        WindowsXp();
        Start();
        TakeWrites();
        EXPECT_EQ(Run("click frmMain.cmdDrvVerHlp"), "");
    }
};

TEST_F(DrvVer, DriverAdviceByVersionAndSize) {
    struct Case {
        const char* file;
        platform::FixedFileVersion version;
        std::optional<std::uint64_t> size;
        const char* advice;
    };
    const Case cases[] = {
        {"drivers\\adm8830.sys", Version(5, 12, 1, 2560), 747392,
         "You appear to be running the original Microsoft provided Aureal drivers.  These are "
         "the recommended drivers for Windows XP.  This driver supports full hardware "
         "acceleration for DirectSound, DirectSound 3D, A3D and MIDI.  S/PDIF output is also "
         "supported."},
        {"drivers\\adm8830.sys", Version(5, 12, 1, 2560), 702080,
         "You appear to be running the Microsoft provided Aureal drivers from Windows Update.  "
         "These drivers should not be used since they remove all hardware acceleration for the "
         "sound card.  Try to roll back the driver, or get further instructions from "
         "Sondermere."},
        {"drivers\\adm8830.sys", Version(5, 12, 1, 2560), 747393, ""},
        {"drivers\\adm8830.sys", Version(5, 12, 1, 2560), std::nullopt, ""},
        {"drivers\\adm8830.sys", Version(5, 12, 1, 2559), 1,
         "You appear to be running the Aureal Beta drivers.  While these do work in Windows XP, "
         "they were designed for Windows 2000 and hence haven't been fully tested.  It is "
         "recommended that you use the in-box Windows XP driver."},
        {"drivers\\admaud30.sys", Version(5, 10, 2500, 49), 645120,
         "You appear to be running the Aureal Public Beta drivers.  While these do work in "
         "Windows XP, they were designed for Windows 2000 and hence haven't been fully tested.  "
         "It is recommended that you use the in-box Windows XP driver."},
        {"drivers\\admaud30.sys", Version(5, 0, 2169, 1), 600000,
         "You appear to be running the Windows 2000 in-box drivers.  While these do work in "
         "Windows XP, they were designed for Windows 2000 and hence haven't been fully tested.  "
         "It is recommended that you use the in-box Windows XP driver."},
        {"drivers\\adm8830.sys", Version(5, 12, 1, 2561), 747392, ""},
        {"drivers\\adm8830.sys", Version(5, 12, 1, 65535), 747392, ""},
    };
    for (const Case& c : cases) {
        DrvVer scenario;
        scenario.platform_.files[c.file] = {c.version, c.size};
        scenario.Open();
        const std::string trace = scenario.Text("frmMain.txtDrvVer") + " " +
                                  scenario.Text("frmMain.txtADMSize") + " " + c.file;
        EXPECT_EQ(scenario.Caption("frmDrvVer.lblDrvVer"), c.advice) << trace;
        EXPECT_EQ(scenario.Caption("frmDrvVer.lblA3D"), kA3DOk) << trace;
        EXPECT_TRUE(scenario.TakeWrites().empty()) << trace;
    }
}

TEST_F(DrvVer, NoDriverFoundOrNoLoadAtAll) {
    Open();
    EXPECT_EQ(Text("frmMain.txtDrvVer"), "N/A");
    EXPECT_EQ(Caption("frmDrvVer.lblDrvVer"), kNoDriver);

    // A main window whose boxes no load has filled still reads "NA".
    DrvVer locked;
    locked.WindowsVersion(2, 5, 2);
    locked.Start();
    ui::Form& main = *locked.app_.FindForm("frmMain");
    locked.app_.Open<detect::FrmDrvVer>(main).Show();
    EXPECT_EQ(locked.Caption("frmDrvVer.lblDrvVer"), kNoDriver);
    EXPECT_EQ(locked.Caption("frmDrvVer.lblA3D"), kA3DOk);
}

TEST_F(DrvVer, ComparisonsAreExactWholeTexts) {
    for (const char* shown : {" 5.12.1.2559", "5.12.1.2559 ", "5.12.1.255", "n/a", "na"}) {
        DrvVer scenario;
        scenario.DriverKeys();
        scenario.WindowsXp();
        scenario.Start();
        scenario.app_.FindForm("frmMain")->Find("txtDrvVer")->SetText(shown);
        scenario.Run("click frmMain.cmdDrvVerHlp");
        EXPECT_EQ(scenario.Caption("frmDrvVer.lblDrvVer"), "") << shown;
    }
}

TEST_F(DrvVer, A3DAdvice) {
    struct Case {
        std::optional<platform::FixedFileVersion> a3d;
        const char* advice;
    };
    const Case cases[] = {
        {Version(80, 0, 0, 3),
         "You seem to have the SoundBlaster Live! A3D drivers.  These work by converting A3D "
         "into DirectSound 3D.  It is recommended that you use the Aureal A3D driver included "
         "with Windows XP for the best compatibility"},
        {Version(80, 0, 0, 4), kA3DOk},
        {Version(5, 12, 1, 2560), kA3DOk},
        {std::nullopt, kA3DOk},
    };
    for (const Case& c : cases) {
        DrvVer scenario;
        if (c.a3d) scenario.platform_.files["a3d.dll"] = {c.a3d, 90112};
        // The A3D API library is shown only, never judged.
        scenario.platform_.files["a3dapi.dll"] = {Version(80, 0, 0, 3), 1};
        scenario.Open();
        EXPECT_EQ(scenario.Caption("frmDrvVer.lblA3D"), c.advice)
            << scenario.Text("frmMain.txtA3DVer");
    }
}

TEST_F(DrvVer, OpensOverAHiddenMainWindowAndGivesItBackByOkOrTitleBar) {
    for (const char* how : {"click frmDrvVer.cmdOK", "close frmDrvVer"}) {
        DrvVer scenario;
        scenario.Open();
        EXPECT_EQ(scenario.Run("windows"),
                  "window frmMain visible=0 enabled=0 caption=\"Calvenor XP\"\n"
                  "window frmDrvVer visible=1 enabled=1 caption=\"Driver Version "
                  "Information\"\n")
            << how;
        EXPECT_EQ(scenario.Run("click frmMain.cmdOK"),
                  "error: frmMain.cmdOK is disabled or hidden\n");
        EXPECT_EQ(scenario.Run(how), "") << how;
        EXPECT_EQ(scenario.Run("windows"),
                  "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n")
            << how;
        // A fresh window each time.
        scenario.Run("click frmMain.cmdDrvVerHlp");
        EXPECT_EQ(scenario.Caption("frmDrvVer.lblDrvVer"), kNoDriver) << how;
        scenario.Run(how);
        EXPECT_FALSE(scenario.app_.Ended()) << how;
        EXPECT_TRUE(scenario.TakeWrites().empty()) << how;
    }
}

}  // namespace
}  // namespace testing_support
