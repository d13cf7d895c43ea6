// The one rule of the form model: a changed state raises the control's event, the same state
// raises nothing, whether the user or code changes it.
#include <gtest/gtest.h>

#include <sstream>

#include "gui/headless/headless.h"
#include "settings/registry.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "ui/app.h"

namespace {

using ui::Kind;

class TestForm : public ui::Form {
  public:
    explicit TestForm(ui::App& app) : Form(app, "frmTest", "Test", 3000, 2000) {
        check = &Add(Kind::CheckBox, "chk", "Check", {});
        for (int i = 0; i < 3; ++i) opt[i] = &Add(Kind::Option, "opt", "Option", {}, i);
        list = &Add(Kind::List, "cbo", "", {});
        list->items = {"a", "b", "c"};
        bar = &Add(Kind::ScrollBar, "hsb", "", {});
        bar->max = 31;
        text = &Add(Kind::TextBox, "txt", "", {});
        check->onChange = [this] { events.push_back("chk=" + std::to_string(check->value())); };
        for (int i = 0; i < 3; ++i) {
            opt[i]->onChange = [this, i] { events.push_back("opt" + std::to_string(i)); };
        }
        list->onChange = [this] { events.push_back("cbo=" + std::to_string(list->value())); };
        bar->onChange = [this] { events.push_back("hsb=" + std::to_string(bar->value())); };
        text->onChange = [this] { events.push_back("txt=" + text->text()); };
    }
    void RequestClose() override { Unload(); }

    ui::Control* check;
    ui::Control* opt[3];
    ui::Control* list;
    ui::Control* bar;
    ui::Control* text;
    std::vector<std::string> events;
};

class FormModel : public ::testing::Test {
  protected:
    testing_support::MemoryRegistry backend;
    testing_support::FakePlatform platform{backend};
    settings::Registry registry{backend};
    std::ostringstream out;
    gui::HeadlessPrompter prompter{out};
    ui::App app{registry, platform, prompter};
    TestForm& form = app.Open<TestForm>();
};

TEST_F(FormModel, NewStatesRaiseEventsAndRepeatedStatesDoNot) {
    form.check->SetValue(1);
    form.check->SetValue(1);
    form.check->SetValue(0);
    form.list->SetValue(2);
    form.list->SetValue(2);
    form.list->SetValue(-1);
    form.bar->SetValue(31);
    form.bar->SetValue(31);
    form.text->SetText("x");
    form.text->SetText("x");
    EXPECT_EQ(form.events,
              (std::vector<std::string>{"chk=1", "chk=0", "cbo=2", "cbo=-1", "hsb=31", "txt=x"}));
}

TEST_F(FormModel, ValuesOutsideTheControlAreRefusedSilently) {
    form.check->SetValue(2);
    form.list->SetValue(3);
    form.list->SetValue(-2);
    form.bar->SetValue(32);
    form.bar->SetValue(-1);
    EXPECT_TRUE(form.events.empty());
    EXPECT_EQ(form.list->value(), -1);
    EXPECT_EQ(form.bar->value(), 0);
}

TEST_F(FormModel, SelectingAnOptionClearsItsGroupWithoutEvents) {
    form.opt[1]->SetValue(1);
    form.opt[2]->SetValue(1);
    form.opt[2]->SetValue(1);
    form.opt[2]->SetValue(0);  // clearing raises nothing
    EXPECT_EQ(form.events, (std::vector<std::string>{"opt1", "opt2"}));
    EXPECT_EQ(form.opt[1]->value(), 0);
    EXPECT_EQ(form.opt[2]->value(), 0);
}

TEST_F(FormModel, AnUnloadedFormIsGoneAfterCollect) {
    form.Show();
    EXPECT_EQ(app.FindForm("frmTest"), &form);
    form.Unload();
    EXPECT_EQ(app.FindForm("frmTest"), nullptr);
    EXPECT_TRUE(app.Ended());  // the first window opened is the main window
    app.Collect();
    EXPECT_TRUE(app.Forms().empty());
}

TEST_F(FormModel, HeadlessDriverReportsMisuseAndGoesOn) {
    form.Show();
    form.check->SetEnabled(false);
    gui::Headless driver(app, prompter, out);
    for (const char* line :
         {"click frmTest.chk", "click frmNone.x", "click frmTest.none", "select frmTest.cbo 3",
          "select frmTest.cbo x", "set frmTest.hsb 40", "set frmTest.cbo 1", "frobnicate",
          "answer maybe", "click frmTest.opt(1)", "type frmTest.txt a \"quoted\" \\ text",
          "select frmTest.cbo -1", "dump frmTest"}) {
        driver.Execute(line);
    }
    const std::string printed = out.str();
    EXPECT_EQ(printed.substr(0, printed.find("window frmTest")),
              "error: frmTest.chk is disabled or hidden\n"
              "error: no window \"frmNone\"\n"
              "error: no control \"frmTest.none\"\n"
              "error: position 3 is outside frmTest.cbo\n"
              "error: select needs a number\n"
              "error: value 40 is outside frmTest.hsb\n"
              "error: frmTest.cbo is not a slider or scroll bar\n"
              "error: unknown command \"frobnicate\"\n"
              "error: answer takes yes or no\n");
    EXPECT_NE(printed.find("frmTest.txt textbox visible=1 enabled=1 "
                           "value=\"a \\\"quoted\\\" \\\\ text\""),
              std::string::npos);
    EXPECT_NE(printed.find("frmTest.opt(1) option visible=1 enabled=1 value=1"), std::string::npos);
    EXPECT_EQ(form.events, (std::vector<std::string>{"opt1", "txt=a \"quoted\" \\ text"}));
}

TEST_F(FormModel, YesNoBoxesTakeQueuedAnswersAndDefaultToNo) {
    prompter.Queue(ui::Answer::Yes);
    const ui::Message question{"Q", "Go?", ui::Icon::None, ui::Buttons::YesNo};
    EXPECT_EQ(app.Show(question), ui::Answer::Yes);
    EXPECT_EQ(app.Show(question), ui::Answer::No);
    EXPECT_EQ(app.Show({"", "Plain", ui::Icon::None, ui::Buttons::Ok}), ui::Answer::Ok);
    EXPECT_EQ(out.str(),
              "message title=\"Q\" icon=none buttons=yesno text=\"Go?\" answer=yes\n"
              "message title=\"Q\" icon=none buttons=yesno text=\"Go?\" answer=no\n"
              "message title=\"Calvenor XP\" icon=none buttons=ok text=\"Plain\"\n");
}

}  // namespace
