// What every adapter reads off the model to lay out its windows: a control's place through
// its frames and tab page, whether it is on screen and takes input there, where a window is
// centred, and the pictures of an icon list's entries.
#include "ui/screen.h"

#include <gtest/gtest.h>

#include <sstream>

#include "gui/headless/headless.h"
#include "settings/registry.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "ui/app.h"

namespace {

using ui::Kind;

// A tab control with two pages; page 1 holds a frame that holds a frame that holds a check
// box. A button lies outside the tabs.
class Layout : public ui::Form {
  public:
    Layout(ui::App& app, bool onOwner) : Form(app, "frmLayout", "Layout", 6000, 5000) {
        centerOnOwner = onOwner;
        tabs = &Add(Kind::Tabs, "tabs", "", {120, 240, 5000, 4000});
        tabs->items = {"One", "Two"};
        onFirst = &Add(Kind::Label, "lblFirst", "First", {300, 450, 900, 255});
        onFirst->tab = 0;
        outer = &Add(Kind::Frame, "fraOuter", "Outer", {240, 600, 4000, 2500});
        outer->tab = 1;
        inner = &Add(Kind::Frame, "fraInner", "Inner", {120, 300, 3000, 1500});
        inner->tab = 1;
        inner->container = outer;
        check = &Add(Kind::CheckBox, "chk", "Check", {60, 90, 1500, 300});
        check->tab = 1;
        check->container = inner;
        button = &Add(Kind::Button, "cmd", "Button", {4800, 4400, 1000, 375});
    }
    void RequestClose() override { Unload(); }

    ui::Control* tabs;
    ui::Control* onFirst;
    ui::Control* outer;
    ui::Control* inner;
    ui::Control* check;
    ui::Control* button;
};

class Screen : public ::testing::Test {
  protected:
    testing_support::MemoryRegistry backend;
    testing_support::FakePlatform platform{backend};
    settings::Registry registry{backend};
    std::ostringstream out;
    gui::HeadlessPrompter prompter{out};
    ui::App app{registry, platform, prompter};
    Layout& form = app.Open<Layout>(false);
};

TEST_F(Screen, PlaceAddsEveryFrameAndTheTabControl) {
    const ui::Place place = ui::PlaceInForm(*form.check);
    EXPECT_EQ(place.left, 60 + 120 + 240 + 120);
    EXPECT_EQ(place.top, 90 + 300 + 600 + 240);
    EXPECT_EQ(place.width, 1500);
    EXPECT_EQ(place.height, 300);
    const ui::Place label = ui::PlaceInForm(*form.onFirst);
    EXPECT_EQ(label.left, 300 + 120);
    EXPECT_EQ(label.top, 450 + 240);
}

TEST_F(Screen, PlaceOutsideFramesAndTabsIsTheControlsOwn) {
    const ui::Place place = ui::PlaceInForm(*form.button);
    EXPECT_EQ(place.left, 4800);
    EXPECT_EQ(place.top, 4400);
    // The tab control is not on a page of its own, whatever its page number says.
    form.tabs->tab = 0;
    EXPECT_EQ(ui::PlaceInForm(*form.tabs).left, 120);
    EXPECT_EQ(ui::PlaceInForm(*form.tabs).top, 240);
}

TEST_F(Screen, OnlyTheCurrentPageIsShown) {
    EXPECT_EQ(form.tabs->value(), 0);
    EXPECT_TRUE(ui::ShownOnScreen(*form.onFirst));
    EXPECT_FALSE(ui::ShownOnScreen(*form.outer));
    EXPECT_FALSE(ui::ShownOnScreen(*form.check));
    form.tabs->SetValue(1);
    EXPECT_FALSE(ui::ShownOnScreen(*form.onFirst));
    EXPECT_TRUE(ui::ShownOnScreen(*form.outer));
    EXPECT_TRUE(ui::ShownOnScreen(*form.check));
    EXPECT_TRUE(ui::ShownOnScreen(*form.button));
}

TEST_F(Screen, AHiddenFrameOrTabControlHidesWhatItHolds) {
    form.tabs->SetValue(1);
    form.outer->SetVisible(false);
    EXPECT_FALSE(ui::ShownOnScreen(*form.check));
    EXPECT_FALSE(ui::ShownOnScreen(*form.inner));
    form.outer->SetVisible(true);
    form.tabs->SetVisible(false);
    EXPECT_FALSE(ui::ShownOnScreen(*form.check));
    EXPECT_FALSE(ui::ShownOnScreen(*form.tabs));
    EXPECT_TRUE(ui::ShownOnScreen(*form.button));
    form.tabs->SetVisible(true);
    form.check->SetVisible(false);
    EXPECT_FALSE(ui::ShownOnScreen(*form.check));
    EXPECT_TRUE(ui::ShownOnScreen(*form.inner));
}

TEST_F(Screen, ADisabledFrameOrTabControlDisablesWhatItHolds) {
    EXPECT_TRUE(ui::EnabledOnScreen(*form.check));
    form.inner->SetEnabled(false);
    EXPECT_FALSE(ui::EnabledOnScreen(*form.check));
    EXPECT_TRUE(ui::EnabledOnScreen(*form.outer));
    form.inner->SetEnabled(true);
    form.tabs->SetEnabled(false);
    EXPECT_FALSE(ui::EnabledOnScreen(*form.check));
    EXPECT_FALSE(ui::EnabledOnScreen(*form.onFirst));
    EXPECT_TRUE(ui::EnabledOnScreen(*form.button));
    form.tabs->SetEnabled(true);
    form.check->SetEnabled(false);
    EXPECT_FALSE(ui::EnabledOnScreen(*form.check));
}

TEST_F(Screen, APageNotShownStillTakesInputOnceShown) {
    // Being on another page hides a control; it does not disable it.
    EXPECT_FALSE(ui::ShownOnScreen(*form.check));
    EXPECT_TRUE(ui::EnabledOnScreen(*form.check));
}

TEST_F(Screen, FramesInALoopEndTheWalk) {
    form.outer->container = form.inner;
    form.tabs->SetValue(1);
    const ui::Place place = ui::PlaceInForm(*form.check);
    EXPECT_GE(place.left, 60 + 120 + 240);
    EXPECT_FALSE(ui::ShownOnScreen(*form.check));
    EXPECT_FALSE(ui::EnabledOnScreen(*form.check));
}

TEST_F(Screen, DialogsAreCentredOnTheMainWindowWhenTheyAskForIt) {
    EXPECT_EQ(ui::CentringOwner(form), nullptr);  // the main window has no owner
    Layout& onOwner = app.Open<Layout>(true);
    Layout& onScreen = app.Open<Layout>(false);
    EXPECT_EQ(ui::CentringOwner(onOwner), &form);
    EXPECT_EQ(ui::CentringOwner(onScreen), nullptr);
    form.centerOnOwner = true;
    EXPECT_EQ(ui::CentringOwner(form), nullptr);
}

TEST_F(Screen, ACentredWindowStaysOnTheWorkArea) {
    const ui::ScreenBox area{0, 0, 1024, 740};
    const ui::ScreenBox middle = ui::Centred(400, 300, area, area);
    EXPECT_EQ(middle.left, 312);
    EXPECT_EQ(middle.top, 220);
    EXPECT_EQ(middle.width, 400);
    EXPECT_EQ(middle.height, 300);
    const ui::ScreenBox owner{100, 50, 300, 200};
    const ui::ScreenBox onOwner = ui::Centred(100, 80, owner, area);
    EXPECT_EQ(onOwner.left, 200);
    EXPECT_EQ(onOwner.top, 110);
    // An owner near a corner: the window is pushed back onto the area.
    const ui::ScreenBox nearRight = ui::Centred(400, 300, {900, 600, 200, 100}, area);
    EXPECT_EQ(nearRight.left, 1024 - 400);
    EXPECT_EQ(nearRight.top, 740 - 300);
    const ui::ScreenBox nearLeft = ui::Centred(400, 300, {-150, -100, 200, 100}, area);
    EXPECT_EQ(nearLeft.left, 0);
    EXPECT_EQ(nearLeft.top, 0);
    // Larger than the area: its top-left corner stays on it.
    const ui::ScreenBox huge = ui::Centred(2000, 1000, area, {10, 20, 1014, 720});
    EXPECT_EQ(huge.left, 10);
    EXPECT_EQ(huge.top, 20);
}

TEST_F(Screen, IconListEntriesShowNumberedPictures) {
    ui::Control& list = form.Add(Kind::IconList, "lvw", "", {0, 0, 3000, 1500});
    EXPECT_TRUE(ui::IconPictures(list).empty());
    list.picture = "tools";
    list.items = {"Volume", "Recorder", "Player"};
    EXPECT_EQ(ui::IconPictures(list), (std::vector<std::string>{"tools1", "tools2", "tools3"}));
}

}  // namespace
