#include "gui/fltk/fltk_widgets.h"

#include <FL/Fl.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#if FL_API_VERSION >= 10400
#include <FL/fl_config.h>
#endif

#include <algorithm>
#include <cmath>

#include "text/cp1252.h"

namespace gui::fltk {

// ---- Text ------------------------------------------------------------------------------

namespace {

void DrawPlainLabel(const Fl_Label* label, int x, int y, int w, int h, Fl_Align align) {
    fl_font(label->font, label->size);
    fl_color(static_cast<Fl_Color>(label->color));
    fl_draw(label->value, x, y, w, h, align, label->image, 0);
}

void MeasurePlainLabel(const Fl_Label* label, int& w, int& h) {
    fl_font(label->font, label->size);
    fl_measure(label->value, w, h, 0);
}

}  // namespace

std::string Utf8FromAnsi(const std::string& ansi) {
    return platform::cp1252::ToUtf8(ansi);
}

std::string AnsiFromUtf8(const std::string& utf8) {
    return platform::cp1252::FromUtf8(utf8);
}

std::string LabelText(const std::string& ansi) {
    return Utf8FromAnsi(ansi);
}

std::string LiteralLabel(const std::string& ansi) {
    std::string out;
    for (const char ch : Utf8FromAnsi(ansi)) {
        out += ch;
        if (ch == '&') out += '&';
    }
    return out;
}

void SetUpLook() {
    static bool done = false;
    if (done) return;
    done = true;
    Fl::scheme("gtk+");
    Fl::background(236, 233, 216);  // the face colour of Windows XP dialogs
    Fl::set_color(FL_SELECTION_COLOR, 49, 106, 197);
    // Captions come from the model and may hold '@' (mail addresses); FLTK would take it for
    // a symbol, so the normal label draws text only.
    Fl::set_labeltype(FL_NORMAL_LABEL, DrawPlainLabel, MeasurePlainLabel);
    // Arial's metrics are what the windows were laid out with; Liberation Sans shares them.
    // Where it is missing, fontconfig falls back to the default sans face. Where FLTK draws
    // text with Pango (1.4 drawing with Cairo, as for Wayland), a face is named as Pango names
    // it, its style after the family; with Xft, by a letter before it.
#if FL_API_VERSION >= 10400 && (defined(FLTK_USE_CAIRO) || defined(FLTK_USE_WAYLAND))
    Fl::set_font(FL_HELVETICA, "Liberation Sans");
    Fl::set_font(FL_HELVETICA_BOLD, "Liberation Sans Bold");
    Fl::set_font(FL_HELVETICA_ITALIC, "Liberation Sans Italic");
    Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "Liberation Sans Bold Italic");
#else
    Fl::set_font(FL_HELVETICA, " Liberation Sans");
    Fl::set_font(FL_HELVETICA_BOLD, "BLiberation Sans");
    Fl::set_font(FL_HELVETICA_ITALIC, "ILiberation Sans");
    Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "PLiberation Sans");
#endif
    FL_NORMAL_SIZE = kFontSize;
    Fl_Tooltip::size(kFontSize);
    Fl_Tooltip::color(fl_rgb_color(255, 255, 225));
    Fl_Tooltip::delay(0.6f);
    // A desktop matches the windows to the program's menu entry by their class
    // (StartupWMClass) and shows them with the icon the Windows build has in its title bar.
    Fl_Window::default_xclass("calvenor");
    const ui::Image icon = ui::RenderPicture("general", 48, 48);
    const Fl_RGB_Image image(icon.rgba.data(), icon.width, icon.height, 4);
    Fl_Window::default_icon(&image);
}

void SetUpFocus() {
    static bool done = false;
    if (done) return;
    done = true;
    Fl::visible_focus(1);
}

// ---- Pictures --------------------------------------------------------------------------

PictureImage::PictureImage(const std::string& name, int width, int height)
    : name_(name), width_(width), height_(height) {}

Fl_RGB_Image* PictureImage::image() {
    const float scale = DrawingScale();
    if (scale != scale_) {
        scale_ = scale;
        greyed_.reset();
        image_.reset();  // it draws from the pixels replaced here
        pixels_ = ui::RenderPicture(name_, static_cast<int>(std::lround(width_ * scale)),
                                    static_cast<int>(std::lround(height_ * scale)));
        if (!pixels_.empty()) {
            image_ = std::make_unique<Fl_RGB_Image>(pixels_.rgba.data(), pixels_.width,
                                                    pixels_.height, 4);
#if FL_API_VERSION >= 10400
            image_->scale(width_, height_, 0, 1);  // drawn at its size, pixel for pixel
#endif
        }
    }
    return image_.get();
}

Fl_Image* PictureImage::greyed() {
    if (image() != nullptr && greyed_ == nullptr) {
#if FL_API_VERSION >= 10400
        // copy() alone would give the pixels of its size at 1x.
        greyed_.reset(image_->copy(image_->data_w(), image_->data_h()));
        greyed_->scale(width_, height_, 0, 1);
#else
        greyed_.reset(image_->copy());
#endif
        greyed_->desaturate();
        greyed_->color_average(FL_BACKGROUND_COLOR, 0.5f);
    }
    return greyed_.get();
}

PictureBox::PictureBox(int x, int y, int w, int h, const std::string& picture)
    : Fl_Widget(x, y, w, h), picture_(picture, w, h) {
    box(FL_NO_BOX);
}

void PictureBox::draw() {
    if (picture_.image() != nullptr) picture_.image()->draw(x(), y());
}

// ---- Labels and buttons -----------------------------------------------------------------

LabelBox::LabelBox(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {
    set_flag(SHORTCUT_LABEL);
    box(FL_NO_BOX);
    align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT | FL_ALIGN_WRAP);
}

void LabelBox::draw() {
    // Straight into the box: a static text has no inner margin.
    draw_label(x(), y(), w(), h(), align());
}

int LabelBox::handle(int event) {
    if (event == FL_SHORTCUT && onMnemonic && label() != nullptr && test_shortcut()) {
        onMnemonic();
        return 1;
    }
    return Fl_Box::handle(event);
}

DialogButton::DialogButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}

int DialogButton::handle(int event) {
    const int key = Fl::event_key();
    const bool enter = key == FL_Enter || key == FL_KP_Enter;
    const bool plain = (Fl::event_state() & (FL_ALT | FL_CTRL | FL_META | FL_SHIFT)) == 0;
    if (plain && event == FL_KEYBOARD && Fl::focus() == this && enter) {
        do_callback();
        return 1;
    }
    if (plain && event == FL_SHORTCUT && ((isDefault && enter) || (isCancel && key == FL_Escape))) {
        do_callback();
        return 1;
    }
    return Fl_Button::handle(event);
}

void DialogButton::draw() {
    Fl_Button::draw();
    if (isDefault && active_r() && !value()) {
        fl_color(fl_rgb_color(105, 140, 210));
        fl_rect(x() + 2, y() + 2, w() - 4, h() - 4);
    }
}

// ---- Group box -------------------------------------------------------------------------

GroupBox::GroupBox(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
    set_flag(SHORTCUT_LABEL);
    box(FL_NO_BOX);
    align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);  // drawn by draw(), not by the parent
    labelcolor(fl_rgb_color(0, 70, 213));
}

void GroupBox::draw() {
    if (damage() & ~FL_DAMAGE_CHILD) {
        fl_rectf(x(), y(), w(), h(), color());
        fl_font(labelfont(), labelsize());
        const int th = fl_height();
        const int top = y() + th / 2;
        const int right = x() + w() - 1, bottom = y() + h() - 1;
        fl_color(active_r() ? fl_rgb_color(208, 208, 191) : fl_rgb_color(200, 200, 190));
        fl_xyline(x() + 2, top, right - 2);
        fl_xyline(x() + 2, bottom, right - 2);
        fl_yxline(x(), top + 2, bottom - 2);
        fl_yxline(right, top + 2, bottom - 2);
        fl_point(x() + 1, top + 1);
        fl_point(right - 1, top + 1);
        fl_point(x() + 1, bottom - 1);
        fl_point(right - 1, bottom - 1);
        if (label() != nullptr && *label() != '\0') {
            int lw = 0, lh = 0;
            measure_label(lw, lh);
            fl_rectf(x() + 6, y(), lw + 4, th, color());
            draw_label(x() + 8, y(), lw, th, FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        }
    }
    draw_children();
}

int GroupBox::handle(int event) {
    if (event == FL_SHORTCUT) {
        if (Fl_Group::handle(event)) return 1;
        if (onMnemonic && label() != nullptr && test_shortcut()) {
            onMnemonic();
            return 1;
        }
        return 0;
    }
    return Fl_Group::handle(event);
}

// ---- Track bar -------------------------------------------------------------------------

namespace {
constexpr int kThumbWidth = 11;
}

TrackBar::TrackBar(int x, int y, int w, int h) : SteppedBar(x, y, w, h, nullptr) {
    box(FL_FLAT_BOX);
    step(1);
    when(FL_WHEN_RELEASE);
}

int TrackBar::ChannelLeft() const {
    return x() + kThumbWidth / 2 + 4;
}
int TrackBar::ChannelRight() const {
    return x() + w() - kThumbWidth / 2 - 5;
}

void TrackBar::ThumbBox(int& tx, int& ty, int& tw, int& th) const {
    th = std::clamp(h() - 12, 10, 21);
    tx = ThumbCentre() - kThumbWidth / 2;
    ty = y() + h() / 2 - th / 2;
    tw = kThumbWidth;
}

int TrackBar::ThumbCentre() const {
    const double span = maximum() - minimum();
    const double t = span != 0 ? (value() - minimum()) / span : 0;
    return ChannelLeft() + static_cast<int>(std::lround(t * (ChannelRight() - ChannelLeft())));
}

double TrackBar::ValueAt(int mouseX) const {
    const int len = std::max(1, ChannelRight() - ChannelLeft());
    const double t = std::clamp(static_cast<double>(mouseX - ChannelLeft()) / len, 0.0, 1.0);
    return std::round(minimum() + t * (maximum() - minimum()));
}

void TrackBar::draw() {
    const Fl_Color face = color();
    fl_rectf(x(), y(), w(), h(), face);
    const int cy = y() + h() / 2;
    // Ticks end two pixels inside the focus rectangle drawn on the edge.
    const int thumbH = std::clamp(h() - 16, 10, 21);
    const int left = ChannelLeft(), right = ChannelRight();
    // The sunken channel.
    fl_color(fl_rgb_color(160, 160, 150));
    fl_xyline(left - 3, cy - 2, right + 3);
    fl_yxline(left - 3, cy - 2, cy + 1);
    fl_color(FL_WHITE);
    fl_xyline(left - 3, cy + 2, right + 3);
    fl_yxline(right + 3, cy - 2, cy + 2);
    fl_rectf(left - 2, cy - 1, right - left + 5, 3, fl_rgb_color(246, 246, 242));
    // Ticks on both sides.
    const Fl_Color tick = active_r() ? FL_BLACK : fl_inactive(FL_BLACK);
    fl_color(tick);
    const double lo = minimum(), hi = maximum();
    const double span = hi - lo;
    auto tickAt = [&](double v) {
        const double t = span != 0 ? (v - lo) / span : 0;
        const int tx = left + static_cast<int>(std::lround(t * (right - left)));
        fl_yxline(tx, cy - thumbH / 2 - 5, cy - thumbH / 2 - 3);
        fl_yxline(tx, cy + thumbH / 2 + 3, cy + thumbH / 2 + 5);
    };
    if (tickEvery > 0 && span != 0) {
        for (double v = lo; v < hi; v += tickEvery) tickAt(v);
    }
    tickAt(lo);
    tickAt(hi);
    // The thumb.
    const int tx = ThumbCentre() - kThumbWidth / 2, ty = cy - thumbH / 2;
    const bool on = active_r();
    for (int i = 0; i < thumbH; ++i) {
        const int shade = 252 - i * 24 / std::max(1, thumbH);
        fl_color(on ? fl_rgb_color(static_cast<uchar>(shade), static_cast<uchar>(shade),
                                   static_cast<uchar>(shade - 6))
                    : fl_rgb_color(236, 236, 230));
        fl_xyline(tx + 1, ty + i, tx + kThumbWidth - 2);
    }
    fl_color(on ? fl_rgb_color(28, 81, 128) : fl_rgb_color(190, 190, 180));
    fl_rect(tx, ty, kThumbWidth, thumbH);
    if (on) {
        fl_color(fl_rgb_color(80, 200, 80));
        fl_xyline(tx + 1, ty + thumbH - 2, tx + kThumbWidth - 2);
    }
    if (Fl::focus() == this && on) {
        fl_color(FL_BLACK);
        fl_line_style(FL_DOT);
        fl_rect(x(), y(), w(), h());
        fl_line_style(0);
    }
}

int TrackBar::handle(int event) {
    switch (event) {
        case FL_ENTER:
        case FL_LEAVE:
            return 1;
        case FL_FOCUS:
        case FL_UNFOCUS:
            redraw();
            return 1;
        case FL_PUSH: {
            if (Fl::visible_focus()) Fl::focus(this);
            const int mx = Fl::event_x();
            if (std::abs(mx - ThumbCentre()) <= kThumbWidth / 2 + 1) {
                grab_ = mx - ThumbCentre();
                handle_push();
            } else {
                grab_ = -1000;
                const double page = mx < ThumbCentre() ? -largeChange : largeChange;
                const double lo = std::min(minimum(), maximum());
                const double hi = std::max(minimum(), maximum());
                handle_push();
                handle_drag(std::clamp(value() + page, lo, hi));
            }
            return 1;
        }
        case FL_DRAG:
            if (grab_ != -1000) handle_drag(ValueAt(Fl::event_x() - grab_));
            return 1;
        case FL_RELEASE:
            grab_ = -1000;
            handle_release();
            return 1;
        case FL_MOUSEWHEEL:
        case FL_KEYBOARD: {
            const std::optional<double> step = StepAsked(event, *this, smallChange, largeChange);
            if (step) Step(*step);
            return step ? 1 : 0;
        }
        default:
            return Fl_Valuator::handle(event);
    }
}

std::optional<double> StepAsked(int event, const Fl_Valuator& bar, int smallChange,
                                int largeChange) {
    if (event == FL_MOUSEWHEEL) {
        const int notches = Fl::event_dx() + Fl::event_dy();
        if (notches == 0) return std::nullopt;
        return notches * smallChange;
    }
    if (event != FL_KEYBOARD) return std::nullopt;
    switch (Fl::event_key()) {
        case FL_Left:
        case FL_Up:
            return -smallChange;
        case FL_Right:
        case FL_Down:
            return smallChange;
        case FL_Page_Up:
            return -largeChange;
        case FL_Page_Down:
            return largeChange;
        case FL_Home:
            return bar.minimum() - bar.value();
        case FL_End:
            return bar.maximum() - bar.value();
        default:
            return std::nullopt;
    }
}

// ---- Icon list -------------------------------------------------------------------------

namespace {
constexpr int kCellWidth = 76;
constexpr int kCellHeight = 64;
constexpr int kIcon = 32;
constexpr int kScrollWidth = 16;
}  // namespace

IconList::IconList(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
    box(FL_DOWN_BOX);
    color(FL_WHITE);
    scroll_ = new Fl_Scrollbar(x + w - kScrollWidth - 2, y + 2, kScrollWidth, h - 4);
    scroll_->type(FL_VERTICAL);
    scroll_->callback(ScrollCallback, this);
    scroll_->hide();
    end();
}

void IconList::SetItems(const std::vector<std::string>& captions,
                        const std::vector<std::string>& pictures) {
    items_ = captions;
    icons_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        icons_.push_back(
            std::make_unique<PictureImage>(i < pictures.size() ? pictures[i] : "", kIcon, kIcon));
    }
    if (selected_ >= static_cast<int>(items_.size())) selected_ = -1;
    Layout();
    redraw();
}

void IconList::select(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size())) index = -1;
    if (index == selected_) return;
    selected_ = index;
    if (index >= 0) {  // keep the selection in view
        const int row = index / Columns();
        const int inner = h() - 4;
        if (row * kCellHeight < top_) {
            top_ = row * kCellHeight;
        } else if ((row + 1) * kCellHeight > top_ + inner) {
            top_ = (row + 1) * kCellHeight - inner;
        }
        if (scroll_->visible()) scroll_->value(top_, inner, 0, scroll_->maximum() + inner);
    }
    redraw();
}

bool IconList::ItemBox(int index, int& cx, int& cy, int& cw, int& ch) const {
    if (index < 0 || index >= static_cast<int>(items_.size())) return false;
    const int cols = Columns();
    cx = x() + 2 + (index % cols) * kCellWidth;
    cy = y() + 2 + (index / cols) * kCellHeight - top_ + 2;
    cw = kCellWidth;
    ch = kCellHeight - 4;
    return cy >= y() + 2 && cy + ch <= y() + h() - 2;
}

int IconList::Columns() const {
    const int inner = w() - 4 - (scroll_->visible() ? kScrollWidth : 0);
    return std::max(1, inner / kCellWidth);
}

void IconList::Layout() {
    scroll_->resize(x() + w() - kScrollWidth - 2, y() + 2, kScrollWidth, h() - 4);
    scroll_->hide();
    int rows = (static_cast<int>(items_.size()) + Columns() - 1) / Columns();
    const int inner = h() - 4;
    if (rows * kCellHeight > inner) {
        scroll_->show();
        rows = (static_cast<int>(items_.size()) + Columns() - 1) / Columns();
        const int total = rows * kCellHeight;
        top_ = std::clamp(top_, 0, total - inner);
        scroll_->value(top_, inner, 0, total);
        scroll_->linesize(kCellHeight / 2);
    } else {
        top_ = 0;
    }
}

void IconList::resize(int x, int y, int w, int h) {
    Fl_Group::resize(x, y, w, h);
    Layout();
}

void IconList::ScrollCallback(Fl_Widget*, void* self) {
    auto* list = static_cast<IconList*>(self);
    list->top_ = list->scroll_->value();
    list->redraw();
}

int IconList::ItemAt(int mx, int my) const {
    const int ix = x() + 2, iy = y() + 2;
    if (mx < ix || my < iy || my >= y() + h() - 2) return -1;
    const int col = (mx - ix) / kCellWidth;
    if (col >= Columns()) return -1;
    const int row = (my - iy + top_) / kCellHeight;
    const int index = row * Columns() + col;
    return index < static_cast<int>(items_.size()) ? index : -1;
}

void IconList::draw() {
    if (damage() & ~FL_DAMAGE_CHILD) {
        const bool on = active_r() != 0;
        draw_box(box(), on ? color() : FL_BACKGROUND_COLOR);
        const int ix = x() + 2, iy = y() + 2;
        const int iw = w() - 4 - (scroll_->visible() ? kScrollWidth : 0), ih = h() - 4;
        fl_push_clip(ix, iy, iw, ih);
        const int cols = Columns();
        fl_font(labelfont(), kFontSize);
        for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
            const int cx = ix + (i % cols) * kCellWidth;
            const int cy = iy + (i / cols) * kCellHeight - top_ + 2;
            if (cy + kCellHeight < iy || cy > iy + ih) continue;
            PictureImage& picture = *icons_[static_cast<std::size_t>(i)];
            Fl_Image* icon = on ? picture.image() : picture.greyed();
            if (icon != nullptr) icon->draw(cx + (kCellWidth - kIcon) / 2, cy);
            const std::string text = Utf8FromAnsi(items_[static_cast<std::size_t>(i)]);
            int tw = kCellWidth - 6, th = 0;
            fl_measure(text.c_str(), tw, th, 0);
            const int tx = cx + (kCellWidth - tw) / 2, ty = cy + kIcon + 4;
            const bool selected = i == selected_;
            const bool focused = Fl::focus() == this;
            if (selected) {
                fl_rectf(tx - 2, ty - 1, tw + 4, th + 2,
                         focused ? FL_SELECTION_COLOR : fl_rgb_color(212, 208, 200));
            }
            Fl_Color ink = selected && focused ? FL_WHITE : FL_BLACK;
            if (!on) ink = fl_inactive(FL_BLACK);
            fl_color(ink);
            fl_draw(text.c_str(), tx, ty, tw, th, FL_ALIGN_TOP | FL_ALIGN_WRAP | FL_ALIGN_INSIDE,
                    nullptr, 0);
            if (selected && focused) {
                fl_color(FL_BLACK);
                fl_line_style(FL_DOT);
                fl_rect(tx - 2, ty - 1, tw + 4, th + 2);
                fl_line_style(0);
            }
        }
        fl_pop_clip();
    }
    draw_children();
}

int IconList::handle(int event) {
    switch (event) {
        case FL_ENTER:
        case FL_LEAVE:
            Fl_Group::handle(event);
            return 1;
        case FL_FOCUS:
        case FL_UNFOCUS:
            redraw();
            return 1;
        case FL_PUSH: {
            if (scroll_->visible() && Fl::event_inside(scroll_)) return Fl_Group::handle(event);
            if (Fl::visible_focus()) Fl::focus(this);
            redraw();
            const int index = ItemAt(Fl::event_x(), Fl::event_y());
            if (index < 0) return 1;
            if (index != selected_) {
                select(index);
                do_callback();
            }
            if (Fl::event_clicks() > 0 && Fl::event_button() == FL_LEFT_MOUSE && onActivate) {
                Fl::event_clicks(0);
                onActivate();
            }
            return 1;
        }
        case FL_MOUSEWHEEL:
            if (!scroll_->visible()) return 0;
            return scroll_->handle(event);
        case FL_KEYBOARD: {
            const int n = static_cast<int>(items_.size());
            if (n == 0) return 0;
            int next = selected_;
            switch (Fl::event_key()) {
                case FL_Left:
                    next = std::max(0, selected_ - 1);
                    break;
                case FL_Right:
                    next = std::min(n - 1, selected_ + 1);
                    break;
                case FL_Up:
                    next = selected_ < 0 ? 0 : std::max(0, selected_ - Columns());
                    break;
                case FL_Down:
                    next = std::min(n - 1, selected_ + Columns());
                    break;
                case FL_Home:
                    next = 0;
                    break;
                case FL_End:
                    next = n - 1;
                    break;
                default:
                    return 0;
            }
            if (next != selected_) {
                select(next);
                do_callback();
            }
            return 1;
        }
        default:
            return Fl_Group::handle(event);
    }
}

}  // namespace gui::fltk
