#include "gui/fltk/fltk_adapter.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Tabs.H>

#include <algorithm>
#include <cmath>
#include <string>

#include "gui/fltk/fltk_widgets.h"

namespace gui {

using namespace fltk;  // the widgets

namespace {

constexpr int kTabHeader = 24;  // height of the tab headers above a page

int Px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

Fl_Font FontFor(const ui::Font& font) {
    std::string face = font.face;
    std::transform(face.begin(), face.end(), face.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (face.find("courier") != std::string::npos) return FL_COURIER;
    if (face.find("times") != std::string::npos) return FL_TIMES;
    return FL_HELVETICA;
}

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
        return Fl_Double_Window::handle(event);
    }
    bool formEnabled = true;
    std::function<void()> onLockedClick;
};

}  // namespace

struct FltkAdapter::Binding {
    FltkAdapter* adapter = nullptr;
    ui::Control* control = nullptr;  // null once its form is unloaded
    Fl_Widget* widget = nullptr;
    std::vector<std::string> items;  // the entries the widget shows
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
    static void Widget(Fl_Widget* widget, void* data) {
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

    static void Activate(FltkAdapter::Binding* binding) {
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

    // The close box or Escape: the form decides how it ends. A disabled window stays.
    static void Window(Fl_Widget*, void* data) {
        auto* view = static_cast<FltkAdapter::View*>(data);
        if (view->form == nullptr || !view->window->formEnabled) return;
        FltkAdapter* adapter = view->adapter;
        ui::Form* form = view->form;
        adapter->Act([form] { form->RequestClose(); });
    }
};

// ---- Adapter ---------------------------------------------------------------------------

FltkAdapter::FltkAdapter(ui::App& app) : app_(app) {
    SetUpLook();
    app_.AddObserver(this);
    for (ui::Form* form : app_.Forms()) {
        FormOpened(*form);
        if (form->visible()) FormChanged(*form);
    }
}

FltkAdapter::~FltkAdapter() {
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

FltkAdapter::View* FltkAdapter::ViewOf(const ui::Form& form) {
    const auto it = views_.find(&form);
    return it == views_.end() ? nullptr : it->second.get();
}

void FltkAdapter::FormOpened(ui::Form& form) {
    if (ViewOf(form) == nullptr) Build(form);
}

void FltkAdapter::FormChanged(ui::Form& form) {
    View* view = ViewOf(form);
    if (view == nullptr) view = &Build(form);
    SyncView(*view);
    ApplyForm(*view);
}

void FltkAdapter::FormToFront(ui::Form& form) {
    View* view = ViewOf(form);
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
    View* view = ViewOf(control.form());
    if (view == nullptr) return;
    const auto it = view->byControl.find(&control);
    if (it != view->byControl.end()) Sync(*it->second);
}

// ---- Building a window -----------------------------------------------------------------

FltkAdapter::View& FltkAdapter::Build(ui::Form& form) {
    auto owned = std::make_unique<View>();
    View& view = *owned;
    view.adapter = this;
    view.form = &form;
    views_[&form] = std::move(owned);

    Fl_Group::current(nullptr);
    auto* window = new FormWindow(std::max(1, Px(form.width())), std::max(1, Px(form.height())));
    window->end();
    view.window = window;
    window->copy_label(LiteralLabel(form.caption()).c_str());
    window->callback(Callbacks::Window, &view);
    window->onLockedClick = [this] {
        // Bring forward the newest window that is usable, as Windows does for an owner.
        const auto forms = app_.Forms();
        for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
            View* other = ViewOf(**it);
            if (other != nullptr && (*it)->visible() && (*it)->enabled() &&
                other->window->shown()) {
                other->window->show();
                return;
            }
        }
    };

    // Where each control goes, in window coordinates.
    const auto& controls = form.controls();
    ui::Control* tabsControl = form.tabs();
    std::function<Rect(const ui::Control&, int)> place = [&](const ui::Control& c, int depth) {
        Rect r{Px(c.place.left), Px(c.place.top), Px(c.place.width), Px(c.place.height)};
        if (depth > 16) return r;
        const ui::Control* base = nullptr;
        if (c.container != nullptr) {
            base = c.container;
        } else if (c.tab >= 0 && tabsControl != nullptr && &c != tabsControl) {
            base = tabsControl;
        }
        if (base != nullptr) {
            const Rect b = place(*base, depth + 1);
            r.x += b.x;
            r.y += b.y;
        }
        return r;
    };

    // Create the widgets detached, then add them to their parents: pictures first, since in
    // the designs they lie under the other controls.
    std::vector<Fl_Widget*> widgets(controls.size(), nullptr);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        ui::Control& c = *controls[i];
        Rect r = place(c, 0);
        Fl_Widget* w = nullptr;
        Fl_Group::current(nullptr);
        switch (c.kind()) {
            case ui::Kind::Button: {
                auto* b = new DialogButton(r.x, r.y, r.w, r.h);
                b->isDefault = c.isDefault;
                b->isCancel = c.isCancel;
                w = b;
                break;
            }
            case ui::Kind::CheckBox:
                w = new Fl_Check_Button(r.x, r.y, r.w, r.h);
                break;
            case ui::Kind::Option: {
                auto* o = new Fl_Round_Button(r.x, r.y, r.w, r.h);
                o->type(FL_TOGGLE_BUTTON);  // groups follow the model, not the parent widget
                w = o;
                break;
            }
            case ui::Kind::List: {
                if (r.h < 18 || r.h > 30) r.h = 21;
                auto* choice = new Fl_Choice(r.x, r.y, r.w, r.h);
                choice->down_box(FL_BORDER_BOX);
                w = choice;
                break;
            }
            case ui::Kind::ScrollBar: {
                auto* s = new Fl_Scrollbar(r.x, r.y, r.w, r.h);
                s->type(FL_HORIZONTAL);
                s->bounds(c.min, c.max);
                s->step(1);
                s->linesize(std::max(1, c.smallChange));
                const int track = std::max(1, r.w - 2 * r.h);
                s->slider_size(std::clamp(static_cast<double>(r.h) / track, 0.05, 1.0));
                s->when(FL_WHEN_RELEASE);
                w = s;
                break;
            }
            case ui::Kind::Slider: {
                auto* t = new TrackBar(r.x, r.y, r.w, r.h);
                t->bounds(c.min, c.max);
                t->tickEvery = c.tickEvery;
                t->smallChange = std::max(1, c.smallChange);
                t->largeChange = std::max(1, c.largeChange);
                w = t;
                break;
            }
            case ui::Kind::Label: {
                auto* l = new LabelBox(r.x, r.y, r.w, r.h);
                if (!c.font.face.empty()) l->labelfont(FontFor(c.font));
                if (c.font.points > 0) {
                    l->size(static_cast<Fl_Fontsize>(std::lround(c.font.points * 96 / 72)));
                }
                if (c.color.set) l->labelcolor(fl_rgb_color(c.color.r, c.color.g, c.color.b));
                const ui::Control* label = &c;
                l->onMnemonic = [this, label] { FocusAfter(*label); };
                w = l;
                break;
            }
            case ui::Kind::TextBox: {
                Fl_Input* input = nullptr;
                if (c.readOnly) {
                    input = new Fl_Output(r.x, r.y, r.w, r.h);
                    input->color(fl_rgb_color(236, 233, 216));
                } else {
                    input = new Fl_Input(r.x, r.y, r.w, r.h);
                }
                input->when(FL_WHEN_CHANGED);
                w = input;
                break;
            }
            case ui::Kind::Picture:
                w = new PictureBox(r.x, r.y, r.w, r.h, c.picture);
                break;
            case ui::Kind::Frame: {
                auto* g = new GroupBox(r.x, r.y, r.w, r.h);
                g->end();
                const ui::Control* frame = &c;
                g->onMnemonic = [this, frame] { FocusAfter(*frame); };
                w = g;
                break;
            }
            case ui::Kind::Tabs: {
                auto* tabs = new Fl_Tabs(r.x, r.y, r.w, r.h);
                tabs->end();
                for (std::size_t p = 0; p < c.items.size(); ++p) {
                    auto* page = new Fl_Group(r.x, r.y + kTabHeader, r.w, r.h - kTabHeader);
                    page->end();
                    page->copy_label(LiteralLabel(c.items[p]).c_str());
                    page->labelsize(kFontSize - 1);  // five captions fit one row of headers
                    tabs->add(page);
                    if (p > 0) page->hide();
                    view.pages.push_back(page);
                }
                if (!view.pages.empty()) tabs->value(view.pages.front());
                view.tabs = tabs;
                w = tabs;
                break;
            }
            case ui::Kind::IconList: {
                auto* list = new IconList(r.x, r.y, r.w, r.h);
                w = list;
                break;
            }
        }
        widgets[i] = w;
        if (!c.tooltip.empty()) w->copy_tooltip(Utf8FromAnsi(c.tooltip).c_str());

        auto binding = std::make_unique<Binding>();
        binding->adapter = this;
        binding->control = &c;
        binding->widget = w;
        w->callback(Callbacks::Widget, binding.get());
        if (c.kind() == ui::Kind::IconList) {
            Binding* b = binding.get();
            static_cast<IconList*>(w)->onActivate = [b] { Callbacks::Activate(b); };
        }
        view.byControl[&c] = binding.get();
        view.bindings.push_back(std::move(binding));
    }

    auto parentOf = [&](const ui::Control& c) -> Fl_Group* {
        if (c.container != nullptr) {
            for (std::size_t i = 0; i < controls.size(); ++i) {
                if (controls[i].get() == c.container && controls[i]->kind() == ui::Kind::Frame) {
                    return static_cast<Fl_Group*>(widgets[i]);
                }
            }
        }
        if (c.tab >= 0 && &c != tabsControl && !view.pages.empty()) {
            return view.pages[std::min(static_cast<std::size_t>(c.tab), view.pages.size() - 1)];
        }
        return window;
    };
    for (const bool pictures : {true, false}) {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if ((controls[i]->kind() == ui::Kind::Picture) != pictures) continue;
            parentOf(*controls[i])->add(widgets[i]);
        }
    }

    if (form.resizable) {
        // Controls keep their places: only an empty corner takes up the growth.
        auto* corner = new Fl_Box(window->w() - 1, window->h() - 1, 1, 1);
        window->add(corner);
        window->resizable(corner);
        window->size_range(window->w(), window->h());
    } else {
        window->resizable(nullptr);
        window->size_range(window->w(), window->h(), window->w(), window->h());
    }
    SyncView(view);
    return view;
}

// ---- Mirroring the model ---------------------------------------------------------------

void FltkAdapter::Sync(Binding& b) {
    if (b.control == nullptr) return;
    const ui::Control& c = *b.control;
    Fl_Widget* w = b.widget;
    const bool was = syncing_;
    syncing_ = true;
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
                input->position(0);  // show the start, as an edit control does
            }
            break;
        }
        case ui::Kind::Tabs: {
            View* view = ViewOf(c.form());
            if (view != nullptr && view->tabs != nullptr && c.value() >= 0 &&
                c.value() < static_cast<int>(view->pages.size()) &&
                view->tabs->value() != view->pages[static_cast<std::size_t>(c.value())]) {
                view->tabs->value(view->pages[static_cast<std::size_t>(c.value())]);
            }
            break;
        }
        case ui::Kind::IconList: {
            auto* list = static_cast<IconList*>(w);
            if (list->items() != c.items) list->SetItems(c.items, c.picture);
            list->select(c.value());
            break;
        }
        default:
            break;
    }
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
    syncing_ = was;
}

void FltkAdapter::SyncView(View& view) {
    for (auto& binding : view.bindings) Sync(*binding);
}

void FltkAdapter::SyncAll() {
    for (auto& [form, view] : views_) {
        if (!form->unloaded()) SyncView(*view);
    }
}

void FltkAdapter::ApplyForm(View& view) {
    ui::Form& form = *view.form;
    FormWindow* window = view.window;
    if (form.enabled() != window->formEnabled) {
        window->formEnabled = form.enabled();
        if (form.enabled()) {
            window->activate();
        } else {
            window->deactivate();
        }
        window->redraw();
    }
    if (form.visible() && !window->shown()) {
        Place(view);
        window->show();
    } else if (!form.visible() && window->shown()) {
        window->hide();
    }
}

void FltkAdapter::Place(View& view) {
    if (view.placed) return;
    view.placed = true;
    FormWindow* window = view.window;
    int x = 0, y = 0, w = 0, h = 0;
    Fl::screen_work_area(x, y, w, h);
    if (view.form->centerOnOwner) {
        const auto forms = app_.Forms();
        View* owner = forms.empty() ? nullptr : ViewOf(*forms.front());
        if (owner != nullptr && owner != &view && owner->window->shown()) {
            x = owner->window->x(), y = owner->window->y();
            w = owner->window->w(), h = owner->window->h();
        }
    }
    window->position(x + (w - window->w()) / 2, y + (h - window->h()) / 2);
}

void FltkAdapter::FocusAfter(const ui::Control& control) {
    View* view = ViewOf(control.form());
    if (view == nullptr) return;
    const auto& controls = control.form().controls();
    bool after = false;
    for (const auto& c : controls) {
        if (c.get() == &control) {
            after = true;
            continue;
        }
        if (!after) continue;
        const auto kind = c->kind();
        if (kind == ui::Kind::Label || kind == ui::Kind::Frame || kind == ui::Kind::Picture) {
            continue;
        }
        Fl_Widget* w = view->byControl[c.get()]->widget;
        if (w->visible_r() && w->active_r() && w->visible_focus()) {
            w->take_focus();
            return;
        }
    }
}

}  // namespace gui
