// Every caption of every window fits the box its widget gives it, in the font it is drawn
// with: no label, button, check box, frame caption, list entry or one-line text is clipped or
// touches an edge; and a label beside a list, a text box or a bar shares the baseline of its
// text. Runs the real FLTK windows on a display (ctest starts it under Xvfb).
// clang-format off
// GoogleTest and the program's headers before FLTK's: X11's headers, which some of FLTK's
// include, define None, a name both use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "detect/frm_drv_ver.h"
#include "dialogs/frm_about.h"
#include "dialogs/frm_about_a3d.h"
#include "dialogs/frm_ac97_mixer.h"
#include "dialogs/frm_quad.h"
#include "equalizer/frm_eq.h"
#include "gui/fltk/fltk_adapter.h"
#include "gui/fltk/fltk_view.h"
#include "gui/fltk/fltk_widgets.h"
#include "reset/frm_reset.h"
#include "settings/schema.h"
#include "support/memory_registry.h"
#include "support/scenario.h"
#include "ui/screen.h"
#include "wpcrset/frm_wpcrset.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
// clang-format on

namespace testing_support {

// The windows only need a machine to show; an in-memory registry is enough.
std::unique_ptr<platform::RegistryBackend> MakeScenarioBackend() {
    return std::make_unique<MemoryRegistry>();
}

namespace {

using gui::fltk::DialogButton;
using gui::fltk::DropList;
using gui::fltk::GroupBox;
using gui::fltk::LabelBox;

// Clear space a caption keeps from the edges it would otherwise touch, in pixels.
constexpr int kButtonMargin = 4;  // each side, inside the button's raised edge
constexpr int kFrameTail = 6;     // after a frame's caption, before its right edge
constexpr int kCheckMark = 18;    // a check box's or option's mark and the gap after it

struct Width {
    int w = 0, h = 0;
};

// The size of a text in a font; '&' marks a mnemonic where the widget draws one.
Width Measure(const char* text, Fl_Font font, Fl_Fontsize size, bool mnemonics, int wrapAt = 0) {
    fl_font(font, size);
    fl_draw_shortcut = mnemonics ? 1 : 2;
    Width m;
    m.w = wrapAt;
    fl_measure(text, m.w, m.h, 0);
    fl_draw_shortcut = 0;
    return m;
}

class CaptionFit : public Scenario {
  public:
    void TestBody() override {}

    // One message for every text that does not fit, naming its window and text.
    void Check(Fl_Widget& w, const std::string& window) {
        const std::string where = window + ": \"" + (w.label() ? w.label() : "") + "\"";
        // Hidden widgets are left out, except the tab control's pages that are not in front.
        if (!w.visible() && dynamic_cast<Fl_Tabs*>(w.parent()) == nullptr) return;
        if (auto* group = w.as_group()) {
            for (int i = 0; i < group->children(); ++i) Check(*group->child(i), window);
        }
        const char* text = w.label();
        const bool has = text != nullptr && *text != '\0';
        if (auto* label = dynamic_cast<LabelBox*>(&w)) {
            if (!has) return;
            ++checked;
            const bool wraps = (label->align() & FL_ALIGN_WRAP) != 0;
            const Width m = Measure(text, w.labelfont(), w.labelsize(), true, wraps ? w.w() : 0);
            EXPECT_LE(m.w, w.w()) << where << " is wider than its label";
            EXPECT_LE(m.h, w.h() + 1)
                << where << " is taller than its label (" << m.h << " in " << w.h() << ")";
        } else if (dynamic_cast<DialogButton*>(&w) != nullptr) {
            if (!has) return;
            ++checked;
            const Width m = Measure(text, w.labelfont(), w.labelsize(), true);
            const int room = w.w() - Fl::box_dw(w.box()) - 2 * kButtonMargin;
            // A one-letter button ("?") is square; its letter only has to fit inside.
            if (m.w > 8) {
                EXPECT_LE(m.w, room)
                    << where << " touches its button's edges (" << m.w << " in " << w.w() << ")";
            }
            EXPECT_LE(m.h, w.h()) << where;
        } else if (dynamic_cast<Fl_Button*>(&w) != nullptr) {  // check boxes and options
            if (!has) return;
            ++checked;
            const Width m = Measure(text, w.labelfont(), w.labelsize(), true);
            EXPECT_LE(m.w + kCheckMark, w.w())
                << where << " runs past its check box (" << m.w << " in " << w.w() << ")";
        } else if (dynamic_cast<GroupBox*>(&w) != nullptr) {
            if (!has) return;
            ++checked;
            const Width m = Measure(text, w.labelfont(), w.labelsize(), true);
            EXPECT_LE(8 + m.w + kFrameTail, w.w())
                << where << " reaches its frame's edge (" << m.w << " in " << w.w() << ")";
        } else if (auto* list = dynamic_cast<DropList*>(&w)) {
            int tx = 0, ty = 0, tw = 0, th = 0;
            list->TextArea(tx, ty, tw, th);
            for (int i = 0; i < list->size(); ++i) {
                const Fl_Menu_Item& item = list->menu()[i];
                if (item.label() == nullptr) continue;
                ++checked;
                const Width m = Measure(item.label(), list->textfont(), list->textsize(), false);
                EXPECT_LE(m.w, tw - 2)
                    << window << ": entry \"" << item.label() << "\" is cut off in its list ("
                    << m.w << " in " << tw << ")";
            }
        } else if (auto* input = dynamic_cast<Fl_Input_*>(&w)) {
            if (input->input_type() == FL_MULTILINE_INPUT || input->size() == 0) return;
            ++checked;
            const Width m = Measure(input->value(), input->textfont(), input->textsize(), false);
            EXPECT_LE(m.w, w.w() - Fl::box_dw(w.box()) - 4)
                << window << ": text \"" << input->value() << "\" is wider than its box (" << m.w
                << " in " << w.w() << ")";
        }
    }

    // The main window in FLTK, on Windows XP with the driver's keys and WPCRSET installed,
    // where every window opens.
    ui::Form& OpenMain() {
        WindowsXp();
        DriverKeys();
        Dword(schema::kWpcrsetParameters, schema::kStart, 2);
        Dword(schema::kWpcrsetService, schema::kStart, 2);
        adapter = std::make_unique<gui::FltkAdapter>(app_);
        Start();
        return *app_.FindForm("frmMain");
    }

    std::unique_ptr<gui::FltkAdapter> adapter;

    int checked = 0;
};

TEST(CaptionFit, EveryWindowsTextsFitTheirBoxesInTheirFonts) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display to open windows on";
    CaptionFit s;
    ui::Form& main = s.OpenMain();
    s.app_.Open<dialogs::FrmAbout>(main).Show();
    s.app_.Open<dialogs::FrmAboutA3D>(main).Show();
    s.app_.Open<dialogs::FrmAC97Mixer>(main).Show();
    s.app_.Open<dialogs::FrmQuad>(main).Show();
    s.app_.Open<equalizer::FrmEQ>(main).Show();
    s.app_.Open<wpcrset::FrmWPCRSET>(main).Show();
    s.app_.Open<reset::FrmReset>(main, [] {}).Show();
    s.app_.Open<detect::FrmDrvVer>(main).Show();
    Fl::check();

    std::set<std::string> windows;
    for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
        const std::string caption = w->label() ? w->label() : "";
        windows.insert(caption);
        s.Check(*w, caption);
    }
    for (const char* caption :
         {"Calvenor XP", "About Calvenor XP", "About A3D", "AC97 Mixer Location", "Quad Settings",
          "Equalizer Settings", "WPCRSET Configuration", "Reset Settings",
          "Driver Version Information"}) {
        EXPECT_EQ(windows.count(caption), 1u) << "window \"" << caption << "\" was not checked";
    }
    EXPECT_GT(s.checked, 150);
}

// The widget at a control's place in its window. A label lined up against another control
// keeps its left, width and height; its top is the line-up's, a few pixels from its own, so
// the label nearest its own top is the one (a column of labels shares the rest).
void Nearest(Fl_Group& group, const ui::Place& p, bool label, Fl_Widget*& best) {
    for (int i = 0; i < group.children(); ++i) {
        Fl_Widget* w = group.child(i);
        if (w->x() == gui::Px(p.left) && w->w() == gui::Px(p.width) &&
            w->h() == gui::Px(p.height) && (dynamic_cast<LabelBox*>(w) != nullptr) == label) {
            const int off = std::abs(w->y() - gui::Px(p.top));
            if (best == nullptr || off < std::abs(best->y() - gui::Px(p.top))) best = w;
        }
        if (Fl_Group* inner = w->as_group()) Nearest(*inner, p, label, best);
    }
}

Fl_Widget* WidgetOf(Fl_Group& window, const ui::Control& c) {
    Fl_Widget* best = nullptr;
    Nearest(window, ui::ScreenPlace(c), c.kind() == ui::Kind::Label, best);
    return best;
}

Fl_Window* WindowNamed(const std::string& caption) {
    for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
        if (w->label() != nullptr && caption == w->label()) return w;
    }
    return nullptr;
}

// Labels are lined up when they are first shown (the fonts wait for the first drawing), so
// the pages are shown out of order and each label checked against its partner on every one.
TEST(LineUp, LabelsShareTheBaselineOfTheControlBesideThemOnEveryPageInAnyOrder) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display to open windows on";
    CaptionFit s;
    ui::Form& main = s.OpenMain();
    s.app_.Open<equalizer::FrmEQ>(main).Show();
    s.app_.Open<wpcrset::FrmWPCRSET>(main).Show();
    Fl::check();
    int checked = 0;
    auto check = [&](const ui::Form& form, const std::string& where) {
        Fl_Window* window = WindowNamed(form.caption());
        ASSERT_NE(window, nullptr) << form.caption();
        for (const auto& c : form.controls()) {
            if (c->lineUpWith == nullptr || !ui::ShownOnScreen(*c)) continue;
            Fl_Widget* label = WidgetOf(*window, *c);
            Fl_Widget* partner = WidgetOf(*window, *c->lineUpWith);
            ASSERT_NE(label, nullptr) << c->id();
            ASSERT_NE(partner, nullptr) << c->lineUpWith->id();
            ++checked;
            EXPECT_EQ(gui::fltk::TextBaseline(*label), gui::fltk::TextBaseline(*partner))
                << form.caption() << ": " << c->id() << " beside " << c->lineUpWith->id() << " "
                << where;
        }
    };
    ui::Control* tabs = main.tabs();
    ASSERT_NE(tabs, nullptr);
    for (int page : {3, 1, 4, 2, 0}) {
        tabs->SetValue(page);
        Fl::check();
        check(main, "on page " + std::to_string(page));
    }
    for (const char* name : {"frmEQ", "frmWPCRSET"}) {
        const ui::Form* form = s.app_.FindForm(name);
        ASSERT_NE(form, nullptr) << name;
        check(*form, "");
    }
    EXPECT_GT(checked, 10);
}

}  // namespace
}  // namespace testing_support
