// The adapter's records of the native windows, shared by its files.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Tabs.H>
#include <FL/Fl_Widget.H>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/fltk/fltk_adapter.h"

namespace gui {

// Twips to FLTK's pixels, at the 96 dots an inch the windows were laid out for.
inline int Px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

// A form's window: refuses input while the form is disabled, as a Win32 window does, and
// then hands the user the window that holds the lock.
class FormWindow : public Fl_Double_Window {
  public:
    FormWindow(int w, int h) : Fl_Double_Window(w, h) {}
    int handle(int event) override {
        if (!formEnabled && (event == FL_PUSH || event == FL_KEYBOARD || event == FL_SHORTCUT)) {
            if (event == FL_PUSH && onLockedClick) onLockedClick();
            return 1;
        }
        // The keyboard comes back to the window: its own control takes the focus again.
        if (event == FL_FOCUS && !contains(Fl::focus()) && onFocusBack && onFocusBack()) return 1;
        return Fl_Double_Window::handle(event);
    }
    bool formEnabled = true;
    std::function<void()> onLockedClick;
    std::function<bool()> onFocusBack;
};

struct FltkAdapter::Binding {
    FltkAdapter* adapter = nullptr;
    ui::Control* control = nullptr;  // null once its form is unloaded
    Fl_Widget* widget = nullptr;
    std::vector<std::string> items;  // the entries the widget shows
    bool arranged = false;           // placed against its partners (fltk_build.cpp)
};

struct FltkAdapter::View {
    FltkAdapter* adapter = nullptr;
    ui::Form* form = nullptr;
    FormWindow* window = nullptr;
    std::vector<std::unique_ptr<Binding>> bindings;
    std::map<const ui::Control*, Binding*> byControl;
    Fl_Tabs* tabs = nullptr;
    std::vector<Fl_Group*> pages;
    bool placed = false;
    Binding* focus = nullptr;  // the control that last had the keyboard in this window
};

template <class Action>
void FltkAdapter::Act(Action&& action) {
    action();
    SyncAll();
    app_.Collect();
}

// The static entry points FLTK calls; each copies what it needs from the binding before it
// touches the model, since the model may unload the window.
struct Callbacks {
    static void Widget(Fl_Widget* widget, void* data);
    static void Activate(FltkAdapter::Binding* binding);
    // The close box or Escape: the form decides how it ends. A disabled window stays.
    static void Window(Fl_Widget*, void* data);
};

}  // namespace gui
