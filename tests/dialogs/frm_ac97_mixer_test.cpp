// The tools list's double-click and the AC97 Mixer location dialog it opens.
#include "main_window/frm_main.h"
#include "settings/schema.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

const std::string kMainOnly = "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n";
const std::string kMixerOpen =
    "window frmMain visible=0 enabled=0 caption=\"Calvenor XP\"\n"
    "window frmAC97Mixer visible=1 enabled=1 caption=\"AC97 Mixer Location\"\n";
const std::string kInitialText = "Enter the program path here - i.e. C:\\AC97Mix\\AC97Mixer.exe";
const std::string kInvalidPath =
    "message title=\"Calvenor XP\" icon=none buttons=ok text=\"You haven't entered a valid "
    "path.  Either correct it, or press Cancel if you haven't yet downloaded the AC97 Mixer "
    "utility\"\n";
const std::string kMixerPath = "C:\\AC97Mix\\AC97Mixer.exe";
const std::string kPlayer = "\"C:\\Program Files\\Windows Media Player\\wmplayer.exe\" /prefetch:1";

std::string Started(const std::string& command, bool ok) {
    return "start command=" + gui::Quote(command) + " result=" + (ok ? "ok" : "failed") + "\n";
}
std::string Unable(const std::string& command) {
    return "message title=\"Calvenor XP\" icon=critical buttons=ok text=" +
           gui::Quote("Unable to start \"" + command + "\".") + "\n";
}
std::string Location() {
    return std::string(schema::kControlPanel) + "\\" + schema::kAC97MixerLocation;
}

class Tools : public Scenario {
  public:
    void TestBody() override {}

    void Ready() {
        WindowsXp();
        DriverKeys();
        Sz(schema::kDirectXMedia, schema::kProg, kPlayer);
        Start();
        TakeWrites();
    }
    main_window::FrmMain& Main() {
        return static_cast<main_window::FrmMain&>(*app_.FindForm("frmMain"));
    }
};

struct Entry {
    int position;
    std::string command;
};
const Entry kFixedEntries[] = {
    {1, "sndvol32.exe"},
    {2, "sndrec32.exe"},
    {3, kPlayer},
    {5, "rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl"},
    {6, "rundll32.exe shell32.dll,Control_RunDLL joy.cpl"},
    {7, "dxdiag.exe"},
};

TEST_F(Tools, EachEntryStartsItsCommandAndLeavesTheMainWindowAsItWas) {
    for (const Entry& entry : kFixedEntries) {
        Tools s;
        s.Ready();
        s.platform_.startable = {entry.command};
        EXPECT_EQ(s.Run("dblclick frmMain.ListView1 " + std::to_string(entry.position)),
                  Started(entry.command, true))
            << entry.position;
        EXPECT_EQ(s.platform_.started, std::vector<std::string>{entry.command});
        EXPECT_EQ(s.Run("windows"), kMainOnly) << entry.position;
        EXPECT_TRUE(s.TakeWrites().empty()) << entry.position;
    }
}

TEST_F(Tools, ACommandThatDoesNotStartIsReportedByName) {
    for (const Entry& entry : kFixedEntries) {
        Tools s;
        s.Ready();
        EXPECT_EQ(s.Run("dblclick frmMain.ListView1 " + std::to_string(entry.position)),
                  Started(entry.command, false) + Unable(entry.command))
            << entry.position;
        EXPECT_EQ(s.Run("windows"), kMainOnly) << entry.position;
        EXPECT_TRUE(s.TakeWrites().empty()) << entry.position;
    }
}

TEST_F(Tools, AMissingMediaPlayerCommandIsReportedWithoutAStart) {
    WindowsXp();
    DriverKeys();
    Start();
    TakeWrites();
    EXPECT_EQ(Run("dblclick frmMain.ListView1 3"),
              "message title=\"Calvenor XP\" icon=critical buttons=ok text=\"Unable to start "
              "Media Player: no command is recorded for it.\"\n");
    EXPECT_TRUE(platform_.started.empty());
    EXPECT_EQ(Run("windows"), kMainOnly);
}

TEST_F(Tools, NoSelectedEntryDoesNothing) {
    Ready();
    ASSERT_EQ(Value("frmMain.ListView1"), -1);
    Main().general.ListView1->DblClick();
    EXPECT_EQ(Run("windows"), kMainOnly);
    EXPECT_TRUE(platform_.started.empty());
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(out_.str().find("message"), std::string::npos);
}

TEST_F(Tools, AStoredMixerLocationIsReadAtEachDoubleClickAndStarted) {
    Ready();
    Sz(schema::kControlPanel, schema::kAC97MixerLocation, kMixerPath);
    platform_.startable = {kMixerPath, "D:\\Mixer\\mix.exe"};
    EXPECT_EQ(Run("dblclick frmMain.ListView1 4"), Started(kMixerPath, true));
    EXPECT_EQ(Main().general.held.AC97MixerLocation, kMixerPath);
    EXPECT_EQ(Run("windows"), kMainOnly);

    Sz(schema::kControlPanel, schema::kAC97MixerLocation, "D:\\Mixer\\mix.exe");
    EXPECT_EQ(Run("dblclick frmMain.ListView1 4"), Started("D:\\Mixer\\mix.exe", true));
    EXPECT_EQ(Main().general.held.AC97MixerLocation, "D:\\Mixer\\mix.exe");
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(Tools, AStoredMixerLocationThatFailsIsReportedAndKept) {
    Ready();
    Sz(schema::kControlPanel, schema::kAC97MixerLocation, "C:\\Gone\\AC97Mixer.exe");
    EXPECT_EQ(Run("dblclick frmMain.ListView1 4"),
              Started("C:\\Gone\\AC97Mixer.exe", false) + Unable("C:\\Gone\\AC97Mixer.exe"));
    EXPECT_EQ(Run("windows"), kMainOnly);
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_EQ(ReadSz(schema::kControlPanel, schema::kAC97MixerLocation), "C:\\Gone\\AC97Mixer.exe");
}

TEST_F(Tools, AStoredTerminatorIsStartedWithThePathButNotShown) {
    Ready();
    const std::string stored = kMixerPath + std::string(1, '\0');
    Sz(schema::kControlPanel, schema::kAC97MixerLocation, stored);
    EXPECT_EQ(Run("dblclick frmMain.ListView1 4"), Started(stored, false) + Unable(kMixerPath));
    EXPECT_EQ(platform_.started, std::vector<std::string>{stored});
}

TEST_F(Tools, WithoutAStoredLocationTheDialogOpensInPlaceOfTheMainWindow) {
    for (bool emptyValue : {false, true}) {
        Tools s;
        s.Ready();
        if (emptyValue) s.Sz(schema::kControlPanel, schema::kAC97MixerLocation, "");
        EXPECT_EQ(s.Run("dblclick frmMain.ListView1 4"), "") << emptyValue;
        EXPECT_EQ(s.Run("windows"), kMixerOpen) << emptyValue;
        EXPECT_TRUE(s.platform_.started.empty());
        EXPECT_EQ(s.Text("frmAC97Mixer.txtAC97Location"), kInitialText);
        EXPECT_TRUE(s.app_.FindForm("frmAC97Mixer")->resizable);
        EXPECT_TRUE(s.TakeWrites().empty());
    }
}

class Mixer : public Tools {
  public:
    void TestBody() override {}
    // The dialog opened from the tools list, over an empty stored location.
    void Opened() {
        Ready();
        Sz(schema::kControlPanel, schema::kAC97MixerLocation, "");
        Run("dblclick frmMain.ListView1 4");
        TakeWrites();
    }
};

TEST_F(Mixer, TheUnchangedTextFailsAndRemovesTheStoredLocation) {
    Opened();
    EXPECT_EQ(Run("click frmAC97Mixer.cmdOK"), Started(kInitialText, false) + kInvalidPath);
    EXPECT_EQ(TakeWrites(), std::vector<std::string>{Location() + "=-"});
    EXPECT_EQ(ReadSz(schema::kControlPanel, schema::kAC97MixerLocation), std::nullopt);
    // The dialog stays, text untouched, and the main window stays covered.
    EXPECT_EQ(Run("windows"), kMixerOpen);
    EXPECT_EQ(Text("frmAC97Mixer.txtAC97Location"), kInitialText);
}

TEST_F(Mixer, APathThatStartsIsStoredAsTypedAndTheMainWindowComesBack) {
    Opened();
    const std::string typed = "\"C:\\Program Files\\AC97 Mixer\\AC97Mixer.exe\" /tray";
    platform_.startable = {typed};
    // A wrong path first: reported, and the user may try again.
    EXPECT_EQ(Run("type frmAC97Mixer.txtAC97Location C:\\AC97Mixer.exe\n"
                  "click frmAC97Mixer.cmdOK"),
              Started("C:\\AC97Mixer.exe", false) + kInvalidPath);
    EXPECT_EQ(Text("frmAC97Mixer.txtAC97Location"), "C:\\AC97Mixer.exe");
    TakeWrites();
    EXPECT_EQ(Run("type frmAC97Mixer.txtAC97Location " + typed + "\nclick frmAC97Mixer.cmdOK"),
              Started(typed, true));
    EXPECT_EQ(platform_.started.back(), typed);
    EXPECT_EQ(TakeWrites(), std::vector<std::string>{Location() + "=\"" + typed + "\""});
    EXPECT_EQ(ReadSz(schema::kControlPanel, schema::kAC97MixerLocation), typed);
    EXPECT_EQ(Run("windows"), kMainOnly);
    // From now on the tools list starts it directly.
    EXPECT_EQ(Run("dblclick frmMain.ListView1 4"), Started(typed, true));
    EXPECT_EQ(Run("windows"), kMainOnly);
}

TEST_F(Mixer, HelpShowsItsTextAndChangesNothing) {
    Opened();
    EXPECT_EQ(Run("click frmAC97Mixer.cmdHelp"),
              "message title=\"Information\" icon=information buttons=ok text=\"Please enter the "
              "full path of the AC97 Mixer application, including the .EXE file and extension.  "
              "This location will be remebered in the future.\"\n");
    EXPECT_TRUE(TakeWrites().empty());
    EXPECT_TRUE(platform_.started.empty());
    EXPECT_EQ(Run("windows"), kMixerOpen);
}

TEST_F(Mixer, CancelAndTheTitleBarWriteNothingAndGiveTheMainWindowBack) {
    for (const char* how : {"click frmAC97Mixer.cmdExit", "close frmAC97Mixer"}) {
        Mixer s;
        s.Opened();
        s.platform_.startable = {kMixerPath};
        EXPECT_EQ(s.Run("type frmAC97Mixer.txtAC97Location " + kMixerPath + "\n" + how), "") << how;
        EXPECT_TRUE(s.platform_.started.empty()) << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
        EXPECT_EQ(s.ReadSz(schema::kControlPanel, schema::kAC97MixerLocation), "") << how;
        EXPECT_EQ(s.Run("windows"), kMainOnly) << how;
        // Opened again, it starts from its initial text.
        s.Run("dblclick frmMain.ListView1 4");
        EXPECT_EQ(s.Text("frmAC97Mixer.txtAC97Location"), kInitialText) << how;
    }
}

}  // namespace
}  // namespace testing_support
