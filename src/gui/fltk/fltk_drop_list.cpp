// The drop-down list, and where the widgets put the baseline of the text they show and the
// paragraphs that follow one another.
#include <FL/Fl.H>
#include <FL/Fl_Input_.H>
#include <FL/fl_draw.H>

#include "gui/fltk/fltk_widgets.h"

namespace gui::fltk {

namespace {
constexpr int kArrowWidth = 17;  // the arrow button is as wide as a scroll bar's, as on XP
}  // namespace

DropList::DropList(int x, int y, int w, int h) : Fl_Choice(x, y, w, h) {
    box(FL_NO_BOX);
    down_box(FL_BORDER_BOX);
    color(FL_WHITE);  // the dropped list too
}

void DropList::TextArea(int& tx, int& ty, int& tw, int& th) const {
    tx = x() + 2;
    ty = y() + 2;
    tw = w() - kArrowWidth - 5;
    th = h() - 4;
}

void DropList::draw() {
    const bool on = active_r();
    const bool focused = on && Fl::focus() == this;
    fl_color(on ? fl_rgb_color(127, 157, 185) : fl_rgb_color(201, 199, 186));
    fl_rect(x(), y(), w(), h());
    fl_rectf(x() + 1, y() + 1, w() - 2, h() - 2, on ? FL_WHITE : fl_rgb_color(245, 244, 234));

    // The arrow button.
    const int bx = x() + w() - 1 - kArrowWidth, by = y() + 1, bh = h() - 2;
    fl_draw_box(FL_UP_BOX, bx, by, kArrowWidth, bh, FL_BACKGROUND_COLOR);
    const int cx = bx + kArrowWidth / 2, cy = by + bh / 2;
    fl_color(on ? FL_BLACK : fl_inactive(FL_BLACK));
    fl_polygon(cx - 4, cy - 2, cx + 4, cy - 2, cx, cy + 2);

    int tx = 0, ty = 0, tw = 0, th = 0;
    TextArea(tx, ty, tw, th);
    if (focused) fl_rectf(tx, ty, tw, th, FL_SELECTION_COLOR);
    const Fl_Menu_Item* item = mvalue();
    if (item != nullptr && item->label() != nullptr) {
        fl_font(textfont(), textsize());
        fl_color(focused ? FL_WHITE : on ? FL_BLACK : fl_inactive(FL_BLACK));
        fl_push_clip(tx, ty, tw, th);
        fl_draw_shortcut = 2;  // entries are plain text: "&&" shows one '&'
        fl_draw(item->label(), tx + 1, ty, tw - 2, th, FL_ALIGN_LEFT | FL_ALIGN_INSIDE, nullptr, 0);
        fl_draw_shortcut = 0;
        fl_pop_clip();
    }
}

int TextBaseline(Fl_Widget& widget) {
    Fl_Font font = widget.labelfont();
    Fl_Fontsize size = widget.labelsize();
    int top = widget.y(), height = widget.h();
    bool centred = true;
    if (auto* list = dynamic_cast<DropList*>(&widget)) {
        int tx = 0, tw = 0;
        list->TextArea(tx, top, tw, height);
        font = list->textfont();
        size = list->textsize();
    } else if (auto* input = dynamic_cast<Fl_Input_*>(&widget)) {
        top += Fl::box_dy(input->box());
        height -= Fl::box_dh(input->box());
        font = input->textfont();
        size = input->textsize();
    } else if (dynamic_cast<LabelBox*>(&widget) != nullptr) {
        centred = false;
    }
    fl_font(font, size);
    const int line = fl_height(), descent = fl_descent();
    return centred ? top + (height - line) / 2 + line - descent : top + line - descent;
}

void LineUp(Fl_Widget& label, Fl_Widget& partner) {
    const int baseline = TextBaseline(partner);
    fl_font(label.labelfont(), label.labelsize());
    label.position(label.x(), baseline - fl_height() + fl_descent());
}

void PlaceUnder(Fl_Widget& paragraph, Fl_Widget& above) {
    int width = above.w(), height = 0;
    fl_font(above.labelfont(), above.labelsize());
    fl_measure(above.label(), width, height, 0);
    paragraph.position(paragraph.x(), above.y() + height + fl_height());
}

}  // namespace gui::fltk
