// The keyboard rules every adapter follows: Tab's order through a window, where mnemonics send
// the focus, where the focus starts, the arrow keys within a group of options, and Escape.
#include "ui/keyboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/schema.h"
#include "support/scenario.h"
#include "ui/form.h"

namespace testing_support {
namespace {

using ui::Control;
using ui::Kind;

std::vector<std::string> Ids(const std::vector<Control*>& controls) {
    std::vector<std::string> ids;
    for (const Control* c : controls) ids.push_back(c->id());
    return ids;
}

using Ids_ = std::vector<std::string>;

// A window made for these tests: controls created out of their places' order.
class Sketch : public ui::Form {
  public:
    explicit Sketch(ui::App& app) : Form(app, "frmSketch", "Sketch", 6000, 5000) {}
    void RequestClose() override { closed = true; }
    bool closed = false;
};

class Keyboard : public Scenario {
  public:
    void TestBody() override {}
    // The seed machine's S/PDIF settings: 48 kHz, output detected and enabled, input neither.
    void Ready() {
        DriverKeys();
        Dword(schema::kCustomization, schema::kSpdifFrequency, 48000);
        Dword(schema::kCustomization, schema::kDetectSpdifOut, 1);
        Dword(schema::kCustomization, schema::kEnableSpdifOut, 1);
        WindowsXp();
        Start();
        TakeWrites();
    }
    ui::Form& Main() { return *app_.FindForm("frmMain"); }
    Control* Find(const std::string& id) { return Main().Find(id); }
    // The stops Tab visits, from the first, once round.
    std::vector<std::string> TabRound(ui::Form& form, bool backward = false) {
        std::vector<std::string> ids;
        Control* first = ui::NextTabStop(form, nullptr, backward);
        for (Control* c = first; c != nullptr;) {
            ids.push_back(c->id());
            c = ui::NextTabStop(form, c, backward);
            if (c == first || ids.size() > form.controls().size()) break;
        }
        return ids;
    }
};

TEST_F(Keyboard, RowsReadTopToBottomAndLeftToRightWhateverTheOrderOfCreation) {
    Sketch& form = app_.Open<Sketch>();
    // A label beside a taller list shares its row; a box whose middle lies below the label's
    // height starts the next one.
    form.Add(Kind::CheckBox, "chkBelow", "", {240, 1300, 2000, 300});
    form.Add(Kind::List, "cboRight", "", {2000, 930, 1800, 315});
    form.Add(Kind::Label, "lblLeft", "&Left:", {240, 990, 1500, 255});
    form.Add(Kind::Button, "cmdTop", "Top", {3000, 120, 1000, 375});
    form.Add(Kind::Picture, "imgTop", "", {100, 100, 900, 900});
    form.Show();
    EXPECT_EQ(Ids(ui::ReadingOrder(form)),
              (Ids_{"cmdTop", "lblLeft", "cboRight", "chkBelow", "imgTop"}));
    EXPECT_EQ(Ids(ui::TabStops(form)), (Ids_{"cmdTop", "cboRight", "chkBelow"}));
    EXPECT_EQ(ui::MnemonicTarget(*form.Find("lblLeft"))->id(), "cboRight");
}

TEST_F(Keyboard, TabVisitsTheShownPageBetweenTheTabStripAndTheButtonsAndWrapsRound) {
    Ready();
    ui::Form& main = Main();
    Run("select frmMain.SSTab1 3");
    const Ids_ ac97 = {"SSTab1",      "chkST3D", "chkAttenuation", "chkLA4Inv", "chkLA2Inv",
                       "cmdAC97Help", "hsbPCM1", "hsbPCM2",        "hsbFront",  "hsbRear",
                       "cmdAbout",    "cmdOK",   "cmdReset"};
    EXPECT_EQ(TabRound(main), ac97);
    Ids_ reversed(ac97.rbegin(), ac97.rend());
    EXPECT_EQ(TabRound(main, true), reversed);
    EXPECT_EQ(ui::NextTabStop(main, Find("cmdReset"), false)->id(), "SSTab1");
    EXPECT_EQ(ui::NextTabStop(main, Find("SSTab1"), true)->id(), "cmdReset");

    // Frames are read whole, each after the one to its left; the version boxes the user
    // cannot edit are still stops, as their text can be selected.
    Run("select frmMain.SSTab1 4");
    EXPECT_EQ(TabRound(main),
              (Ids_{"SSTab1", "optDigOut(0)", "chkDetOut", "chkEnOut", "chkDetIn", "cmdEQSettings",
                    "cmdFixDetect", "cmdAbout", "cmdOK", "cmdReset"}))
        << "the load chooses no rate, and input's Enable box is locked while input is not "
           "detected";
    Run("select frmMain.SSTab1 2");
    EXPECT_EQ(TabRound(main),
              (Ids_{"SSTab1", "txtA3DVer", "txtA3DAPI", "txtDrvVer", "cmdDrvVerHlp", "cboA3DType",
                    "cmdQuad", "cmdAboutA3D", "cmdAbout", "cmdOK", "cmdReset"}));
}

TEST_F(Keyboard, HiddenAndDisabledControlsAreNoStopsAndTheLockedWindowKeepsItsButtons) {
    DriverKeys();
    WindowsVersion(2, 5, 2);
    Start();
    // The gate failed: the tabs and the General page's settings are locked, Override shows.
    EXPECT_EQ(TabRound(Main()), (Ids_{"cmdAbout", "cmdOverride", "cmdOK", "cmdReset"}));
    EXPECT_EQ(ui::FirstFocus(Main())->id(), "cmdAbout");
}

TEST_F(Keyboard, TheFocusStartsOnTheDefaultButtonElseOnTheFirstStop) {
    Ready();
    EXPECT_EQ(ui::FirstFocus(Main())->id(), "SSTab1");
    Sketch& form = app_.Open<Sketch>();
    form.Add(Kind::CheckBox, "chkFirst", "", {240, 240, 2000, 300});
    Control& ok = form.Add(Kind::Button, "cmdOK", "OK", {240, 900, 1000, 375});
    form.Show();
    EXPECT_EQ(ui::FirstFocus(form)->id(), "chkFirst");
    ok.isDefault = true;
    EXPECT_EQ(ui::FirstFocus(form)->id(), "cmdOK");
    ok.SetEnabled(false);
    EXPECT_EQ(ui::FirstFocus(form)->id(), "chkFirst");
}

TEST_F(Keyboard, MnemonicsOfLabelsAndFramesLeadToTheControlTheyName) {
    Ready();
    Run("select frmMain.SSTab1 1");
    EXPECT_EQ(ui::MnemonicTarget(*Find("Label4"))->id(), "cboWavetableMode");
    EXPECT_EQ(ui::MnemonicTarget(*Find("Frame1"))->id(), "cboEffect1");
    EXPECT_EQ(ui::MnemonicTarget(*Find("Frame2"))->id(), "cboEffect2");
}

TEST_F(Keyboard, TabStopsAtTheChosenOptionAndArrowsMoveAlongTheGroupInReadingOrder) {
    Ready();
    Run("select frmMain.SSTab1 4");
    Control* khz32 = Find("optDigOut(0)");
    Control* khz44 = Find("optDigOut(1)");
    Control* khz48 = Find("optDigOut(2)");
    EXPECT_TRUE(ui::IsTabStop(*khz32)) << "with none chosen, the first the user sees";
    Run("click frmMain.optDigOut(2)");
    EXPECT_TRUE(ui::IsTabStop(*khz48));
    EXPECT_FALSE(ui::IsTabStop(*khz32));
    // Created 48, 44.1, 32 from right to left: the arrows still go by what the user sees.
    EXPECT_EQ(ui::NextOption(*khz32, false), khz44);
    EXPECT_EQ(ui::NextOption(*khz44, false), khz48);
    EXPECT_EQ(ui::NextOption(*khz48, false), khz32);
    EXPECT_EQ(ui::NextOption(*khz32, true), khz48);
    // Tab from an option that is not the chosen one leaves the group.
    EXPECT_EQ(ui::NextTabStop(Main(), khz32, false)->id(), "chkDetOut");
    EXPECT_EQ(ui::NextTabStop(Main(), khz44, true)->id(), "SSTab1");
    Run("click frmMain.optDigOut(0)");
    EXPECT_TRUE(ui::IsTabStop(*khz32));
    EXPECT_FALSE(ui::IsTabStop(*khz48));
    EXPECT_EQ(ui::NextOption(*Find("chkDetOut"), false), nullptr);
}

TEST_F(Keyboard, EscapePressesCancelClosesASecondaryWindowAndLeavesTheMainWindowOpen) {
    Ready();
    ui::PressEscape(Main());
    EXPECT_FALSE(app_.Ended());
    EXPECT_TRUE(Main().visible());
    EXPECT_TRUE(TakeWrites().empty());

    Sketch& plain = app_.Open<Sketch>();
    plain.Add(Kind::Button, "cmdOK", "OK", {240, 900, 1000, 375});
    plain.Show();
    ui::PressEscape(plain);
    EXPECT_TRUE(plain.closed) << "a secondary window without a cancel button closes";

    Sketch& form = app_.Open<Sketch>();
    Control& cancel = form.Add(Kind::Button, "cmdCancel", "Cancel", {240, 900, 1000, 375});
    cancel.isCancel = true;
    int pressed = 0;
    cancel.onChange = [&pressed] { ++pressed; };
    form.Show();
    ui::PressEscape(form);
    EXPECT_EQ(pressed, 1);
    EXPECT_FALSE(form.closed) << "the cancel button decides";
    cancel.SetEnabled(false);
    ui::PressEscape(form);
    EXPECT_EQ(pressed, 1) << "a disabled cancel button is not pressed";
    EXPECT_TRUE(form.closed);
}

}  // namespace
}  // namespace testing_support
