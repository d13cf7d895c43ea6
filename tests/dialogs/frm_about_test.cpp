// The About and About A3D windows: their fixed content, the order in which they take and
// give back the main window, and every way of closing them.
#include "dialogs/frm_about.h"
#include "dialogs/frm_about_a3d.h"
#include "support/scenario.h"

namespace testing_support {
namespace {

// Every change of a window's state, in the order the adapters are told of it.
class WindowLog : public ui::AppObserver {
  public:
    void FormOpened(ui::Form& form) override { lines.push_back("open " + form.name()); }
    void FormChanged(ui::Form& form) override {
        lines.push_back(form.name() + " visible=" + std::to_string(form.visible()) +
                        " enabled=" + std::to_string(form.enabled()));
    }
    void FormToFront(ui::Form& form) override { lines.push_back("front " + form.name()); }
    void FormUnloaded(ui::Form& form) override { lines.push_back("unload " + form.name()); }
    std::vector<std::string> Take() { return std::exchange(lines, {}); }

    std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;

class About : public Scenario {
  public:
    About() { app_.AddObserver(&log_); }
    ~About() override { app_.RemoveObserver(&log_); }
    void TestBody() override {}

    void Ready() {
        WindowsXp();
        DriverKeys();
        Start();
        TakeWrites();
        log_.Take();
    }
    std::vector<std::string> Names(const std::string& form) {
        std::vector<std::string> names;
        for (const auto& control : app_.FindForm(form)->controls()) names.push_back(control->id());
        return names;
    }

    WindowLog log_;
};

const char* const kMainBack = "window frmMain visible=1 enabled=1 caption=\"Calvenor XP\"\n";

TEST_F(About, AboutOpensOverTheDisabledMainWindowAndGivesItBack) {
    for (const char* how : {"click frmAbout.cmdOK", "close frmAbout"}) {
        About s;
        s.Ready();
        EXPECT_EQ(s.Run("click frmMain.cmdAbout"), "") << how;
        EXPECT_EQ(s.log_.Take(), (Lines{"open frmAbout", "frmAbout visible=1 enabled=1",
                                        "frmMain visible=1 enabled=0", "front frmAbout"}))
            << how;
        EXPECT_EQ(s.Run("windows"),
                  "window frmMain visible=1 enabled=0 caption=\"Calvenor XP\"\n"
                  "window frmAbout visible=1 enabled=1 caption=\"About Calvenor XP\"\n")
            << how;
        EXPECT_EQ(s.Run(how), "") << how;
        EXPECT_EQ(s.log_.Take(),
                  (Lines{"frmMain visible=1 enabled=1", "front frmMain", "unload frmAbout"}))
            << how;
        EXPECT_EQ(s.Run("windows"), kMainBack) << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
    }
}

TEST_F(About, AboutA3DOpensOverTheDisabledMainWindowAndGivesItBack) {
    for (const char* how : {"click frmAboutA3D.cmdOK", "close frmAboutA3D"}) {
        About s;
        s.Ready();
        s.Run("select frmMain.SSTab1 2");
        EXPECT_EQ(s.Run("click frmMain.cmdAboutA3D"), "") << how;
        EXPECT_EQ(s.log_.Take(), (Lines{"open frmAboutA3D", "frmAboutA3D visible=1 enabled=1",
                                        "frmMain visible=1 enabled=0", "front frmAboutA3D"}))
            << how;
        EXPECT_EQ(s.Run("windows"),
                  "window frmMain visible=1 enabled=0 caption=\"Calvenor XP\"\n"
                  "window frmAboutA3D visible=1 enabled=1 caption=\"About A3D\"\n")
            << how;
        EXPECT_EQ(s.Run(how), "") << how;
        EXPECT_EQ(s.log_.Take(), (Lines{"frmMain visible=1 enabled=1",
                                        "frmAboutA3D visible=0 enabled=1", "unload frmAboutA3D"}))
            << how;
        EXPECT_EQ(s.Run("windows"), kMainBack) << how;
        EXPECT_TRUE(s.TakeWrites().empty()) << how;
    }
}

TEST_F(About, AboutWorksOnTheLockedMainWindowAndLeavesItLocked) {
    WindowsVersion(2, 5, 2);
    DriverKeys();
    Start();
    Run("click frmMain.cmdAbout\nclick frmAbout.cmdOK");
    EXPECT_EQ(Run("windows"), kMainBack);
    EXPECT_FALSE(Enabled("frmMain.SSTab1"));
    EXPECT_TRUE(Enabled("frmMain.cmdOverride"));
}

TEST_F(About, AboutShowsNameVersionAndCredits) {
    Ready();
    Run("click frmMain.cmdAbout");
    EXPECT_EQ(Names("frmAbout"),
              (std::vector<std::string>{"cmdOK", "Label1", "Label2", "Label3", "Label4", "Label5",
                                        "Label6", "Label7", "Image1"}));
    const std::string credit = Caption("frmAbout.Label1");
    EXPECT_NE(credit.find("Calvenor XP team"), std::string::npos) << credit;
    EXPECT_TRUE(credit.ends_with("from:")) << credit;
    EXPECT_EQ(Caption("frmAbout.Label2"), "Calvenor");
    EXPECT_EQ(Caption("frmAbout.Label3"), " xp");
    EXPECT_EQ(Caption("frmAbout.Label4"), "Version 2.30");
    const std::string feedback = Caption("frmAbout.Label5");
    EXPECT_TRUE(feedback.starts_with("Please send all feedback to: ")) << feedback;
    EXPECT_NE(feedback.find('@'), std::string::npos) << feedback;
    EXPECT_EQ(Caption("frmAbout.Label7"), "Equalizer by \"Velta\"");

    const ui::Form& about = *app_.FindForm("frmAbout");
    const ui::Control& white = *about.Find("Label1");
    EXPECT_TRUE(white.color.set && white.color.r == 255 && white.color.g == 255 &&
                white.color.b == 255);
    EXPECT_EQ(about.Find("Label2")->font.face, "Arial");
    EXPECT_EQ(about.Find("Label2")->font.points, 15.75);
    const ui::Control& xp = *about.Find("Label3");
    EXPECT_EQ(xp.font.face, "Arial");
    EXPECT_EQ(xp.font.points, 9);
    EXPECT_TRUE(xp.color.set && xp.color.r == 255 && xp.color.g == 128 && xp.color.b == 0);
}

TEST_F(About, AboutA3DShowsItsParagraphsAndTheTitlesSite) {
    Ready();
    Run("select frmMain.SSTab1 2\nclick frmMain.cmdAboutA3D");
    EXPECT_EQ(Names("frmAboutA3D"), (std::vector<std::string>{"Label1", "Label2", "Label3", "cmdOK",
                                                              "Label4", "Label5", "Image1"}));
    EXPECT_EQ(Caption("frmAboutA3D.Label4"), "A3D Audio By Aureal.Inc");
    const std::string visit = Caption("frmAboutA3D.Label5");
    const std::string lead =
        "For an up-to-date list of A3D supported software titles please visit ";
    ASSERT_TRUE(visit.starts_with(lead)) << visit;
    const std::string site = visit.substr(lead.size());
    EXPECT_FALSE(site.empty());
    // The third paragraph points to the same site.
    EXPECT_NE(Caption("frmAboutA3D.Label3").find(site), std::string::npos);
    for (const char* paragraph : {"frmAboutA3D.Label1", "frmAboutA3D.Label2"}) {
        EXPECT_NE(Caption(paragraph).find("A3D"), std::string::npos) << paragraph;
    }
}

}  // namespace
}  // namespace testing_support
