#include "gui/fltk/fltk_adapter.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Valuator.H>

#include <cmath>
#include <cstdlib>
#include <string>

#include "gui/fltk/fltk_view.h"
#include "gui/fltk/fltk_widgets.h"
#include "ui/screen.h"
#include "ui/sync_guard.h"

namespace gui {

using namespace fltk;  // the widgets

namespace {

// Menu texts: '/', '\\' and a leading '_' mean something to Fl_Menu_::add, and '&' marks a
// shortcut; entries of the model are plain text.
std::string MenuText(const std::string& ansi) {
    std::string out;
    for (const char ch : Utf8FromAnsi(ansi)) {
        if (ch == '/' || ch == '\\' || (ch == '_' && out.empty())) out += '\\';
        if (ch == '&') out += '&';
        out += ch;
    }
    return out;
}

}  // namespace

void Callbacks::Widget(Fl_Widget* widget, void* data) {
    auto* binding = static_cast<FltkAdapter::Binding*>(data);
    FltkAdapter* adapter = binding->adapter;
    ui::Control* control = binding->control;
    if (control == nullptr || adapter->syncing_) return;
    adapter->Act([widget, control] {
        switch (control->kind()) {
            case ui::Kind::Button:
                control->Click();
                break;
            case ui::Kind::CheckBox:
                control->SetValue(static_cast<Fl_Button*>(widget)->value() ? 1 : 0);
                break;
            case ui::Kind::Option:
                control->SetValue(1);
                break;
            case ui::Kind::List:
                control->SetValue(static_cast<Fl_Choice*>(widget)->value());
                break;
            case ui::Kind::ScrollBar:
            case ui::Kind::Slider:
                control->SetValue(
                    static_cast<int>(std::lround(static_cast<Fl_Valuator*>(widget)->value())));
                break;
            case ui::Kind::TextBox:
                control->SetText(AnsiFromUtf8(static_cast<Fl_Input_*>(widget)->value()));
                break;
            case ui::Kind::Tabs: {
                auto* tabs = static_cast<Fl_Tabs*>(widget);
                control->SetValue(tabs->find(tabs->value()));
                break;
            }
            case ui::Kind::IconList:
                control->SetValue(static_cast<IconList*>(widget)->selected());
                break;
            default:
                break;
        }
    });
}

void Callbacks::Activate(FltkAdapter::Binding* binding) {
    FltkAdapter* adapter = binding->adapter;
    ui::Control* control = binding->control;
    auto* list = static_cast<IconList*>(binding->widget);
    if (control == nullptr || adapter->syncing_) return;
    const int selected = list->selected();
    adapter->Act([control, selected] {
        control->SetValue(selected);
        control->DblClick();
    });
}

void Callbacks::Window(Fl_Widget*, void* data) {
    auto* view = static_cast<FltkAdapter::View*>(data);
    if (view->form == nullptr || !view->window->formEnabled) return;
    // Escape is the keyboard's (fltk_keys.cpp): only the close box and its requests end here.
    if (Fl::event_key() == FL_Escape &&
        (Fl::event() == FL_KEYBOARD || Fl::event() == FL_SHORTCUT)) {
        return;
    }
    FltkAdapter* adapter = view->adapter;
    ui::Form* form = view->form;
    adapter->Act([form] { form->RequestClose(); });
}

// ---- Adapter ---------------------------------------------------------------------------

FltkAdapter::FltkAdapter(ui::App& app) : app_(app) {
    SetUpLook();
    InstallKeys();
    if (const char* probe = std::getenv("CALVENOR_PROBE"); probe != nullptr) probePath_ = probe;
    Fl::add_check(AfterEvents, this);
    app_.AddObserver(this);
    for (ui::Form* form : app_.Forms()) {
        FormOpened(*form);
        if (form->visible()) FormChanged(*form);
    }
}

FltkAdapter::~FltkAdapter() {
    Fl::remove_check(AfterEvents, this);
    RemoveKeys();
    app_.RemoveObserver(this);
    for (auto& [form, view] : views_) {
        view->window->hide();
        delete view->window;
    }
    views_.clear();
    graveyard_.clear();
}

int FltkAdapter::Run() {
    while (!app_.Ended()) {
        if (Fl::first_window() == nullptr) return 1;
        Fl::wait();
        graveyard_.clear();
    }
    graveyard_.clear();
    return 0;
}

int RunFltk(ui::App& app) {
    while (!app.Ended()) {
        if (Fl::first_window() == nullptr) return 1;
        Fl::wait();
    }
    return 0;
}

namespace {

bool Named(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

}  // namespace

bool HasDisplay() {
#if defined(FLTK_USE_WAYLAND)
    if (Named("WAYLAND_DISPLAY")) return true;
#endif
    return Named("DISPLAY");
}

const char* DisplayVariables() {
#if defined(FLTK_USE_WAYLAND)
    return "DISPLAY or WAYLAND_DISPLAY";
#else
    return "DISPLAY";
#endif
}

FltkAdapter::View* FltkAdapter::ViewOf(const ui::Form* form) {
    const auto it = views_.find(form);
    return it == views_.end() ? nullptr : it->second.get();
}

void FltkAdapter::FormOpened(ui::Form& form) {
    if (ViewOf(&form) == nullptr) Build(form);
}

void FltkAdapter::FormChanged(ui::Form& form) {
    View* view = ViewOf(&form);
    if (view == nullptr) view = &Build(form);
    SyncView(*view);
    ApplyForm(*view);
}

void FltkAdapter::FormToFront(ui::Form& form) {
    View* view = ViewOf(&form);
    if (view != nullptr && form.visible() && view->window->shown()) view->window->show();
}

void FltkAdapter::FormUnloaded(ui::Form& form) {
    const auto it = views_.find(&form);
    if (it == views_.end()) return;
    std::unique_ptr<View> view = std::move(it->second);
    views_.erase(it);
    for (auto& binding : view->bindings) binding->control = nullptr;
    view->form = nullptr;
    view->window->hide();
    Fl::delete_widget(view->window);  // it may be running one of its own callbacks
    graveyard_.push_back(std::move(view));
}

void FltkAdapter::ControlChanged(ui::Control& control) {
    View* view = ViewOf(&control.form());
    if (view == nullptr) return;
    const auto it = view->byControl.find(&control);
    if (it == view->byControl.end()) return;
    Sync(*it->second);
    ArrangeShown(*view);  // it may have shown others: a page, a frame's controls
}

// ---- Syncing the model -----------------------------------------------------------------

void FltkAdapter::Sync(Binding& b) {
    if (b.control == nullptr) return;
    const ui::Control& c = *b.control;
    Fl_Widget* w = b.widget;
    const ui::SyncGuard guard(syncing_);
    switch (c.kind()) {
        case ui::Kind::Button:
        case ui::Kind::CheckBox:
        case ui::Kind::Option:
        case ui::Kind::Label:
        case ui::Kind::Frame: {
            const std::string label = LabelText(c.caption());
            if (w->label() == nullptr || label != w->label()) {
                w->copy_label(label.c_str());
                w->redraw_label();
                w->redraw();
            }
            break;
        }
        default:
            break;
    }
    SyncValue(b);
    if (c.enabled() != (w->active() != 0)) {
        if (c.enabled()) {
            w->activate();
        } else {
            w->deactivate();
        }
    }
    if (c.visible() != (w->visible() != 0)) {
        if (c.visible()) {
            w->show();
        } else {
            w->hide();
        }
    }
}

// The control's value, list entries and bounds; Sync holds the guard.
void FltkAdapter::SyncValue(Binding& b) {
    const ui::Control& c = *b.control;
    Fl_Widget* w = b.widget;
    switch (c.kind()) {
        case ui::Kind::CheckBox:
        case ui::Kind::Option: {
            auto* button = static_cast<Fl_Button*>(w);
            if (button->value() != (c.value() != 0 ? 1 : 0)) button->value(c.value() != 0 ? 1 : 0);
            break;
        }
        case ui::Kind::List: {
            auto* choice = static_cast<Fl_Choice*>(w);
            if (b.items != c.items) {
                choice->clear();
                for (const auto& item : c.items) choice->add(MenuText(item).c_str());
                b.items = c.items;
                choice->value(-1);
                choice->redraw();
            }
            if (choice->value() != c.value()) {
                choice->value(c.value());
                choice->redraw();
            }
            break;
        }
        case ui::Kind::ScrollBar:
        case ui::Kind::Slider: {
            auto* valuator = static_cast<Fl_Valuator*>(w);
            if (valuator->minimum() != c.min || valuator->maximum() != c.max) {
                valuator->bounds(c.min, c.max);
                valuator->redraw();
            }
            if (valuator->value() != c.value()) valuator->value(c.value());
            break;
        }
        case ui::Kind::TextBox: {
            auto* input = static_cast<Fl_Input_*>(w);
            const std::string text = Utf8FromAnsi(c.text());
            if (text != input->value()) {
                input->value(text.c_str());
                // Show the start, as an edit control does.
#if FL_API_VERSION >= 10400
                input->insert_position(0);
#else
                input->position(0);
#endif
            }
            break;
        }
        case ui::Kind::Tabs: {
            View* view = ViewOf(&c.form());
            if (view != nullptr && view->tabs != nullptr && c.value() >= 0 &&
                c.value() < static_cast<int>(view->pages.size()) &&
                view->tabs->value() != view->pages[static_cast<std::size_t>(c.value())]) {
                // Showing a page hands it the tab control's focus; the focus stays put.
                const bool focused = Fl::focus() == view->tabs;
                view->tabs->value(view->pages[static_cast<std::size_t>(c.value())]);
                if (focused) Fl::focus(view->tabs);
            }
            break;
        }
        case ui::Kind::IconList: {
            auto* list = static_cast<IconList*>(w);
            if (list->items() != c.items) list->SetItems(c.items, ui::IconPictures(c));
            list->select(c.value());
            break;
        }
        default:
            break;
    }
}

void FltkAdapter::SyncView(View& view) {
    for (auto& binding : view.bindings) Sync(*binding);
    ArrangeShown(view);
}

void FltkAdapter::SyncAll() {
    for (auto& [form, view] : views_) {
        if (!form->unloaded()) SyncView(*view);
    }
}

void FltkAdapter::ApplyForm(View& view) {
    ui::Form& form = *view.form;
    FormWindow* window = view.window;
    bool focus = false;
    if (form.enabled() != window->formEnabled) {
        window->formEnabled = form.enabled();
        if (form.enabled()) {
            window->activate();
            focus = true;
        } else {
            window->deactivate();
        }
        window->redraw();
    }
    if (form.visible() && !window->shown()) {
        Place(view);
        window->show();
        SendRequests();
        SetUpFocus();
        focus = true;
    } else if (!form.visible() && window->shown()) {
        window->hide();
    }
    // A window that opens, or comes back to the user, has the keyboard where it had it last.
    if (focus && form.visible() && form.enabled() && !window->contains(Fl::focus())) {
        RestoreFocus(view);
    }
}

void FltkAdapter::Place(View& view) {
    if (view.placed) return;
    view.placed = true;
    FormWindow* window = view.window;
    ui::ScreenBox area;
    Fl::screen_work_area(area.left, area.top, area.width, area.height);
    ui::ScreenBox around = area;
    View* owner = ViewOf(ui::CentringOwner(*view.form));
    if (owner != nullptr && owner->window->shown()) {
        around = {owner->window->x(), owner->window->y(), owner->window->w(), owner->window->h()};
    }
    const ui::ScreenBox place = ui::Centred(window->w(), window->h(), around, area);
    window->position(place.left, place.top);
}

// Bring forward the newest window that is usable, as Windows does for an owner.
void FltkAdapter::RaiseUsable() {
    const auto forms = app_.Forms();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
        View* other = ViewOf(*it);
        if (other != nullptr && (*it)->visible() && (*it)->enabled() && other->window->shown()) {
            other->window->show();
            return;
        }
    }
}

}  // namespace gui
