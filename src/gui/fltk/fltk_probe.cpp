// The test-only record of the screen: after FLTK has handled what was waiting, every window's
// and widget's place on the screen and state, beside the model's, replace the file that
// CALVENOR_PROBE names when they changed.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Valuator.H>
#include <FL/Fl_Window.H>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "gui/fltk/fltk_adapter.h"
#include "gui/fltk/fltk_view.h"
#include "gui/fltk/fltk_widgets.h"
#include "ui/probe.h"

namespace gui {

using namespace fltk;  // the widgets

namespace {

// A widget's box on the screen in its pixels; widgets keep window coordinates, in FLTK's units.
// On Wayland a window does not know where it is: its own corner is its place.
ui::ProbeBox OnScreen(Fl_Window& window, int x, int y, int w, int h) {
    const float scale = WindowScale(window);
    // To the nearest pixel: FLTK rounds some places and drops the fraction of others, so at a
    // scale that is not whole an edge may be a pixel off.
    auto pixels = [scale](int units) { return static_cast<int>(std::lround(units * scale)); };
    return {pixels(window.x_root() + x), pixels(window.y_root() + y), pixels(w), pixels(h)};
}

// Whether it and its parents up to its window are visible (or active).
bool ShownInWindow(const Fl_Widget* w, const Fl_Window* window) {
    for (; w != nullptr && w != window; w = w->parent()) {
        if (!w->visible()) return false;
    }
    return true;
}
bool ActiveInWindow(const Fl_Widget* w, const Fl_Window* window) {
    for (; w != nullptr && w != window; w = w->parent()) {
        if (!w->active()) return false;
    }
    return true;
}

std::string Label(const Fl_Widget* w) {
    return w->label() != nullptr ? AnsiFromUtf8(w->label()) : std::string();
}

// A menu entry's text as it was given: the escapes for '&', '/' and '\\' undone.
std::string EntryText(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const char* p = text; *p != '\0'; ++p) {
        if ((*p == '&' || *p == '\\') && p[1] != '\0') ++p;
        out += *p;
    }
    return AnsiFromUtf8(out);
}

void Native(const FltkAdapter::Binding& b, Fl_Window& window, ui::ProbeControl& p) {
    Fl_Widget* w = b.widget;
    switch (b.control->kind()) {
        case ui::Kind::CheckBox:
        case ui::Kind::Option:
            p.value = static_cast<Fl_Button*>(w)->value();
            p.text = Label(w);
            break;
        case ui::Kind::List: {
            auto* choice = static_cast<Fl_Choice*>(w);
            p.value = choice->value();
            p.text = choice->value() >= 0 ? EntryText(choice->text()) : std::string();
            break;
        }
        case ui::Kind::ScrollBar:
        case ui::Kind::Slider: {
            p.value = static_cast<int>(std::lround(static_cast<Fl_Valuator*>(w)->value()));
            int x = 0, y = 0, tw = 0, th = 0;
            if (b.control->kind() == ui::Kind::ScrollBar) {
                static_cast<LevelBar*>(w)->ThumbBox(x, y, tw, th);
            } else {
                static_cast<TrackBar*>(w)->ThumbBox(x, y, tw, th);
            }
            p.hasThumb = true;
            p.thumb = OnScreen(window, x, y, tw, th);
            break;
        }
        case ui::Kind::TextBox:
            p.text = AnsiFromUtf8(static_cast<Fl_Input_*>(w)->value());
            break;
        case ui::Kind::Tabs: {
            auto* tabs = static_cast<Fl_Tabs*>(w);
            p.value = tabs->value() != nullptr ? tabs->find(tabs->value()) : -1;
            p.text = tabs->value() != nullptr ? Label(tabs->value()) : std::string();
            // The headers, found the way a click finds them: each run of one page's header.
            const int y = tabs->y() + 8, end = tabs->x() + tabs->w();
            Fl_Widget* current = nullptr;
            int start = 0;
            for (int x = tabs->x(); x <= end; ++x) {
                Fl_Widget* under = x < end ? tabs->which(x, y) : nullptr;
                if (under == current) continue;
                if (current != nullptr) {
                    p.parts.push_back(OnScreen(window, start, tabs->y(), x - start, 20));
                }
                current = under;
                start = x;
            }
            break;
        }
        case ui::Kind::IconList: {
            auto* list = static_cast<IconList*>(w);
            p.value = list->selected();
            for (int i = 0; i < static_cast<int>(list->items().size()); ++i) {
                int x = 0, y = 0, cw = 0, ch = 0;
                if (!list->ItemBox(i, x, y, cw, ch)) cw = ch = 0;
                p.parts.push_back(OnScreen(window, x, y, cw, ch));
            }
            break;
        }
        default:
            p.text = Label(w);
            break;
    }
}

// A window of FLTK's own: a message box with its buttons and text, or a drop-down menu.
ui::ProbeWindow Other(Fl_Window& window) {
    ui::ProbeWindow w;
    w.title = Label(&window);
    w.frame = OnScreen(window, 0, 0, window.w(), window.h());
    w.shown = window.shown() && window.visible();
    for (int i = 0; i < window.children(); ++i) {
        Fl_Widget* child = window.child(i);
        if (!child->visible() || child->label() == nullptr) continue;
        ui::ProbeItem item;
        item.kind = dynamic_cast<Fl_Button*>(child) != nullptr ? "button" : "text";
        item.text = Label(child);
        item.box = OnScreen(window, child->x(), child->y(), child->w(), child->h());
        w.items.push_back(item);
    }
    // A drop-down draws its entries itself: they share its height evenly, in the list's order.
    auto* choice = dynamic_cast<Fl_Choice*>(Fl::focus());
    if (window.children() == 0 && choice != nullptr && choice->size() > 1) {
        const int count = choice->size() - 1;  // without the end marker
        const int top = Fl::box_dy(window.box()), height = window.h() - Fl::box_dh(window.box());
        for (int i = 0; i < count; ++i) {
            const int y0 = top + height * i / count, y1 = top + height * (i + 1) / count;
            w.items.push_back({"entry", EntryText(choice->menu()[i].label()),
                               OnScreen(window, 0, y0, window.w(), y1 - y0)});
        }
    }
    return w;
}

}  // namespace

void FltkAdapter::AfterEvents(void* self) {
    auto* adapter = static_cast<FltkAdapter*>(self);
    adapter->NoteFocus();
    if (!adapter->probePath_.empty()) adapter->WriteProbe();
}

void FltkAdapter::WriteProbe() {
    std::vector<ui::ProbeWindow> windows;
    for (ui::Form* form : app_.Forms()) {
        View* view = ViewOf(form);
        if (view == nullptr) continue;
        FormWindow& window = *view->window;
        ui::ProbeWindow w;
        w.form = form;
        w.title = Label(&window);
        w.client = OnScreen(window, 0, 0, window.w(), window.h());
        w.frame = w.client;  // the decorations are the window manager's, when there is one
        w.shown = window.shown() && window.visible();
        w.enabled = window.formEnabled;
        for (const auto& binding : view->bindings) {
            if (binding->control == nullptr) continue;
            Fl_Widget* widget = binding->widget;
            ui::ProbeControl p;
            p.control = binding->control;
            p.box = OnScreen(window, widget->x(), widget->y(), widget->w(), widget->h());
            p.shown = ShownInWindow(widget, &window);
            p.enabled = ActiveInWindow(widget, &window);
            p.focused = Fl::focus() == widget;
            Native(*binding, window, p);
            w.controls.push_back(std::move(p));
        }
        windows.push_back(std::move(w));
    }
    for (Fl_Window* other = Fl::first_window(); other != nullptr; other = Fl::next_window(other)) {
        bool ours = false;
        for (const auto& [form, view] : views_) ours = ours || view->window == other;
        if (!ours) windows.push_back(Other(*other));
    }
    const std::string text = ui::FormatProbe(windows);
    if (text == probeWritten_) return;
    // Whole or not at all: a reader never sees half a record.
    const std::string fresh = probePath_ + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return;
    }
    if (std::rename(fresh.c_str(), probePath_.c_str()) == 0) probeWritten_ = text;
}

}  // namespace gui
