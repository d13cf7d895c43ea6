#include "gui/fltk/fltk_prompter.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <memory>

#include "gui/fltk/fltk_widgets.h"

namespace gui {

using namespace fltk;  // the widgets

namespace {

// The round icon at the left of a message: a blue "i" or a red stop sign with a cross.
class MessageIcon : public Fl_Widget {
  public:
    MessageIcon(int x, int y, ui::Icon icon) : Fl_Widget(x, y, 32, 32), icon_(icon) {}
    void draw() override {
        const bool stop = icon_ == ui::Icon::Critical;
        fl_color(fl_rgb_color(0, 0, 0));
        fl_pie(x() + 2, y() + 2, 30, 30, 0, 360);  // shadow
        fl_color(stop ? fl_rgb_color(200, 30, 30) : fl_rgb_color(40, 100, 210));
        fl_pie(x(), y(), 30, 30, 0, 360);
        fl_color(FL_WHITE);
        if (stop) {
            fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
            fl_line(x() + 9, y() + 9, x() + 21, y() + 21);
            fl_line(x() + 21, y() + 9, x() + 9, y() + 21);
            fl_line_style(0);
        } else {
            fl_pie(x() + 13, y() + 6, 5, 5, 0, 360);
            fl_rectf(x() + 13, y() + 13, 5, 12);
            fl_rectf(x() + 11, y() + 13, 3, 2);
            fl_rectf(x() + 11, y() + 23, 9, 2);
        }
    }

  private:
    ui::Icon icon_;
};

}  // namespace

FltkPrompter::FltkPrompter() {
    SetUpLook();
}

ui::Answer FltkPrompter::Show(const ui::Message& message) {
    const std::string text = LiteralLabel(message.text);
    const bool icon = message.icon == ui::Icon::Information || message.icon == ui::Icon::Critical;
    const bool yesNo = message.buttons == ui::Buttons::YesNo;

    // Wrap the text at a comfortable width, as Windows does for its message boxes.
    fl_font(FL_HELVETICA, kFontSize);
    int tw = 340, th = 0;
    fl_measure(text.c_str(), tw, th, 0);
    tw = std::max(tw, 60);
    th = std::max(th, icon ? 32 : 16);
    const int left = icon ? 62 : 16;
    const int buttonW = 75, buttonH = 23, gap = 8;
    const int buttons = yesNo ? 2 : 1;
    const int rowW = buttons * buttonW + (buttons - 1) * gap;
    const int width = std::max(left + tw + 16, rowW + 32);
    const int height = 16 + th + 16 + buttonH + 12;

    Fl_Group::current(nullptr);
    auto window = std::make_unique<Fl_Double_Window>(width, height);
    window->copy_label(LiteralLabel(message.title).c_str());
    if (icon) new MessageIcon(16, 16, message.icon);
    auto* box = new LabelBox(left, 16 + (icon && th < 32 ? (32 - th) / 2 : 0), tw + 2, th);
    box->copy_label(text.c_str());

    ui::Answer answer = yesNo ? ui::Answer::No : ui::Answer::Ok;
    bool answered = false;
    struct Choice {
        ui::Answer* answer;
        bool* answered;
        ui::Answer value;
    };
    Choice choices[2] = {{&answer, &answered, yesNo ? ui::Answer::Yes : ui::Answer::Ok},
                         {&answer, &answered, ui::Answer::No}};
    const int bx = (width - rowW) / 2, by = height - 12 - buttonH;
    Fl_Widget* first = nullptr;
    for (int i = 0; i < buttons; ++i) {
        auto* b = new DialogButton(bx + i * (buttonW + gap), by, buttonW, buttonH);
        b->copy_label(yesNo ? (i == 0 ? "&Yes" : "&No") : "OK");
        b->isDefault = i == 0;
        b->isCancel = !yesNo;  // a Yes/No box can only be answered
        b->callback(
            [](Fl_Widget*, void* data) {
                auto* c = static_cast<Choice*>(data);
                *c->answer = c->value;
                *c->answered = true;
            },
            &choices[i]);
        if (i == 0) first = b;
    }
    window->end();
    // The close box answers an OK box; a Yes/No box has no way out but its buttons.
    window->callback(
        [](Fl_Widget*, void* data) {
            auto* c = static_cast<Choice*>(data);
            if (c->value == ui::Answer::Ok) *c->answered = true;
        },
        &choices[0]);
    window->set_modal();

    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_work_area(sx, sy, sw, sh);
    window->position(sx + (sw - width) / 2, sy + (sh - height) / 2);
    window->show();
    SetUpFocus();
    if (first != nullptr) first->take_focus();
    while (!answered && window->shown()) Fl::wait();
    window->hide();
    return answer;
}

}  // namespace gui
