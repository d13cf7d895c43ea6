// The level bar: FLTK's scroll bar, paged, wheeled and keyed as the Windows control is.
#include <FL/Fl.H>

#include <algorithm>

#include "gui/fltk/fltk_widgets.h"

namespace gui::fltk {

namespace {
constexpr double kFirstRepeat = 0.5;  // seconds a held button waits before paging on
constexpr double kRepeat = 0.05;
}  // namespace

LevelBar::LevelBar(int x, int y, int w, int h) : SteppedBar(x, y, w, h) {
    type(FL_HORIZONTAL);
    step(1);
    when(FL_WHEN_RELEASE);
}

LevelBar::~LevelBar() {
    Fl::remove_timeout(Repeat, this);
}

// Where Fl_Scrollbar draws its thumb: between the arrow boxes, at least half the bar's
// height wide.
void LevelBar::ThumbBox(int& tx, int& ty, int& tw, int& th) const {
    int left = x() + Fl::box_dx(box());
    int width = w() - Fl::box_dw(box());
    const int height = h() - Fl::box_dh(box());
    if (width >= 3 * height) {
        left += height;
        width -= 2 * height;
    }
    int size = static_cast<int>(slider_size() * width + .5);
    size = std::max(size, height / 2 + 1);
    const double span = maximum() - minimum();
    const double at = span != 0 ? std::clamp((value() - minimum()) / span, 0.0, 1.0) : 0.5;
    tx = left + static_cast<int>(at * (width - size) + .5);
    ty = y() + Fl::box_dy(box());
    tw = size;
    th = height;
}

// One page toward the pointer; false once the thumb has reached it.
bool LevelBar::PageTowardPointer() {
    int tx = 0, ty = 0, tw = 0, th = 0;
    ThumbBox(tx, ty, tw, th);
    const int mx = Fl::event_x();
    if (paging_ < 0 ? mx >= tx : mx < tx + tw) return false;
    const double lo = std::min(minimum(), maximum()), hi = std::max(minimum(), maximum());
    const double to = std::clamp(static_cast<double>(value() + paging_ * largeChange), lo, hi);
    if (to == value()) return false;
    handle_drag(to);
    return true;
}

void LevelBar::Repeat(void* self) {
    auto* bar = static_cast<LevelBar*>(self);
    if (bar->paging_ != 0 && bar->PageTowardPointer()) Fl::repeat_timeout(kRepeat, Repeat, self);
}

int LevelBar::handle(int event) {
    switch (event) {
        case FL_PUSH: {
            int tx = 0, ty = 0, tw = 0, th = 0;
            ThumbBox(tx, ty, tw, th);
            const int mx = Fl::event_x();
            const int arrow = w() >= 3 * h() ? h() : 0;
            const bool trough = Fl::event_button() == FL_LEFT_MOUSE && mx >= x() + arrow &&
                                mx < x() + w() - arrow && (mx < tx || mx >= tx + tw);
            if (!trough) break;
            if (Fl::visible_focus()) Fl::focus(this);
            paging_ = mx < tx ? -1 : 1;
            handle_push();
            PageTowardPointer();
            Fl::add_timeout(kFirstRepeat, Repeat, this);
            return 1;
        }
        case FL_DRAG:
            if (paging_ != 0) return 1;
            break;
        case FL_RELEASE:
            if (paging_ == 0) break;
            paging_ = 0;
            Fl::remove_timeout(Repeat, this);
            handle_release();
            return 1;
        case FL_MOUSEWHEEL:
        case FL_KEYBOARD: {
            const std::optional<double> step = StepAsked(event, *this, smallChange, largeChange);
            if (step) Step(*step);
            return step ? 1 : 0;
        }
        default:
            break;
    }
    return Fl_Scrollbar::handle(event);
}

}  // namespace gui::fltk
