// The keyboard, as every adapter answers it: Tab and Shift+Tab through the model's reading
// order, the arrow keys within a group of options, on a closed drop-down list and on the tab
// control as the Windows controls take them, and Escape. Each window keeps the control that
// had its focus while another window has the keyboard.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <algorithm>

#include "gui/fltk/fltk_adapter.h"
#include "gui/fltk/fltk_view.h"
#include "ui/keyboard.h"
#include "ui/screen.h"

namespace gui {

// FLTK hands a key to the focused widget and then to its parents, whose own navigation would
// answer Tab and the arrows by the order of the widgets; keys are looked at before that.
struct Keys {
    static FltkAdapter* adapter;

    static int Dispatch(int event, Fl_Window* window) {
        if (event == FL_KEYBOARD && adapter != nullptr && Fl::grab() == nullptr &&
            (Fl::modal() == nullptr || Fl::modal() == window)) {
            FltkAdapter::View* view = Owner(Fl::focus());
            if (view == nullptr) view = Owner(window);
            if (view != nullptr && view->form != nullptr && view->window->formEnabled &&
                adapter->Key(*view)) {
                return 1;
            }
        }
        return Fl::handle_(event, window);
    }

    // The view whose window holds the widget.
    static FltkAdapter::View* Owner(Fl_Widget* widget) {
        if (widget == nullptr) return nullptr;
        for (auto& [form, view] : adapter->views_) {
            if (view->window == widget || view->window->contains(widget)) return view.get();
        }
        return nullptr;
    }

    // The binding of the widget, or of the control widget it is part of.
    static FltkAdapter::Binding* BindingOf(FltkAdapter::View& view, Fl_Widget* widget) {
        for (Fl_Widget* w = widget; w != nullptr && w != view.window; w = w->parent()) {
            for (auto& binding : view.bindings) {
                if (binding->widget == w && binding->control != nullptr) return binding.get();
            }
        }
        return nullptr;
    }
};

FltkAdapter* Keys::adapter = nullptr;

void FltkAdapter::InstallKeys() {
    Keys::adapter = this;
    Fl::event_dispatch(Keys::Dispatch);
}

void FltkAdapter::RemoveKeys() {
    if (Keys::adapter != this) return;
    Fl::event_dispatch(nullptr);
    Keys::adapter = nullptr;
}

bool FltkAdapter::Key(View& view) {
    ui::Form* form = view.form;
    const int key = Fl::event_key();
    const int mods = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
    Binding* focused = Keys::BindingOf(view, Fl::focus());
    ui::Control* c = focused != nullptr ? focused->control : nullptr;
    if (key == FL_Tab && (mods & ~FL_SHIFT) == 0) {
        Focus(view, ui::NextTabStop(*form, c, mods == FL_SHIFT));
        return true;
    }
    if (mods != 0) return false;
    if (key == FL_Escape) {
        Act([form] { ui::PressEscape(*form); });
        return true;
    }
    if (c == nullptr) return false;
    const bool back = key == FL_Left || key == FL_Up;
    const bool arrow = back || key == FL_Right || key == FL_Down;
    switch (c->kind()) {
        case ui::Kind::Option: {
            if (!arrow) return false;
            // The arrows choose the next option, as a click on it would.
            ui::Control* next = ui::NextOption(*c, back);
            if (next != nullptr) {
                Focus(view, next);
                Act([next] { next->SetValue(1); });
            }
            return true;
        }
        case ui::Kind::Button:
        case ui::Kind::CheckBox:
            // Each is a group of its own: the arrows lead nowhere.
            return arrow;
        case ui::Kind::List: {
            const int last = static_cast<int>(c->items.size()) - 1;
            int to = c->value();
            if (arrow) {
                to = back ? std::max(0, to - 1) : std::min(last, to + 1);
            } else if (key == FL_Home) {
                to = 0;
            } else if (key == FL_End) {
                to = last;
            } else {
                return false;
            }
            if (to >= 0 && to != c->value()) Act([c, to] { c->SetValue(to); });
            return true;
        }
        case ui::Kind::Tabs: {
            if (!arrow) return false;
            if (key == FL_Up || key == FL_Down) return true;
            const int to = c->value() + (back ? -1 : 1);
            if (to >= 0 && to < static_cast<int>(c->items.size())) {
                Act([c, to] { c->SetValue(to); });
            }
            return true;
        }
        default:
            return false;
    }
}

void FltkAdapter::Focus(View& view, const ui::Control* control) {
    if (control == nullptr) return;
    const auto it = view.byControl.find(control);
    if (it == view.byControl.end()) return;
    Fl_Widget* w = it->second->widget;
    if (!w->visible_r() || !w->active_r()) return;
    // A tab control given the focus would pass it on to its page: it keeps it here.
    if (!w->take_focus() || Fl::focus() != w) Fl::focus(w);
    w->redraw();
    view.focus = it->second;
}

// The control that last had this window's focus, or where a new window's focus starts.
bool FltkAdapter::RestoreFocus(View& view) {
    if (view.form == nullptr) return false;
    const ui::Control* to = view.focus != nullptr ? view.focus->control : nullptr;
    if (to == nullptr || !ui::ShownOnScreen(*to) || !ui::EnabledOnScreen(*to)) {
        to = ui::FirstFocus(*view.form);
    }
    if (to == nullptr) return false;
    Focus(view, to);
    return view.window->contains(Fl::focus());
}

void FltkAdapter::NoteFocus() {
    View* view = Keys::Owner(Fl::focus());
    if (view == nullptr) return;
    if (Binding* b = Keys::BindingOf(*view, Fl::focus())) view->focus = b;
}

void FltkAdapter::FocusAfter(const ui::Control& control) {
    View* view = ViewOf(&control.form());
    if (view != nullptr) Focus(*view, ui::MnemonicTarget(control));
}

}  // namespace gui
