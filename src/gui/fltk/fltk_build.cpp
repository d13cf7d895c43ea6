// Building a form's window: one widget per control, placed where the model puts it.
#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Scrollbar.H>

#include <algorithm>
#include <cctype>

#include "gui/fltk/fltk_adapter.h"
#include "gui/fltk/fltk_view.h"
#include "gui/fltk/fltk_widgets.h"
#include "ui/screen.h"

namespace gui {

using namespace fltk;  // the widgets
using ui::Control;
using ui::Kind;

namespace {

constexpr int kTabHeader = 24;  // height of the tab headers above a page

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// Where a control goes, in its window's coordinates.
Rect RectOf(const Control& c) {
    const ui::Place p = ui::ScreenPlace(c);
    return {Px(p.left), Px(p.top), Px(p.width), Px(p.height)};
}

Fl_Font FontFor(const ui::Font& font) {
    std::string face = font.face;
    std::transform(face.begin(), face.end(), face.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (face.find("courier") != std::string::npos) return FL_COURIER;
    if (face.find("times") != std::string::npos) return FL_TIMES;
    return FL_HELVETICA;
}

Fl_Widget* Button(const Control& c, Rect r) {
    auto* b = new DialogButton(r.x, r.y, r.w, r.h);
    b->isDefault = c.isDefault;
    b->isCancel = c.isCancel;
    return b;
}

Fl_Widget* Option(Rect r) {
    auto* o = new Fl_Round_Button(r.x, r.y, r.w, r.h);
    o->type(FL_TOGGLE_BUTTON);  // groups follow the model, not the parent widget
    return o;
}

Fl_Widget* List(Rect r) {
    if (r.h < 18 || r.h > 30) r.h = 21;
    return new DropList(r.x, r.y, r.w, r.h);
}

Fl_Widget* ScrollBar(const Control& c, Rect r) {
    auto* s = new LevelBar(r.x, r.y, r.w, r.h);
    s->bounds(c.min, c.max);
    s->linesize(std::max(1, c.smallChange));
    s->smallChange = std::max(1, c.smallChange);
    s->largeChange = std::max(1, c.largeChange);
    const int track = std::max(1, r.w - 2 * r.h);
    s->slider_size(std::clamp(static_cast<double>(r.h) / track, 0.05, 1.0));
    return s;
}

Fl_Widget* Slider(const Control& c, Rect r) {
    auto* t = new TrackBar(r.x, r.y, r.w, r.h);
    t->bounds(c.min, c.max);
    t->tickEvery = c.tickEvery;
    t->smallChange = std::max(1, c.smallChange);
    t->largeChange = std::max(1, c.largeChange);
    return t;
}

LabelBox* Label(const Control& c, Rect r) {
    auto* l = new LabelBox(r.x, r.y, r.w, r.h);
    if (!c.font.face.empty()) l->labelfont(FontFor(c.font));
    if (c.font.points > 0) {
        l->labelsize(static_cast<Fl_Fontsize>(std::lround(c.font.points * 96 / 72)));
    }
    if (c.color.set) l->labelcolor(fl_rgb_color(c.color.r, c.color.g, c.color.b));
    return l;
}

Fl_Widget* TextBox(const Control& c, Rect r) {
    Fl_Input* input = nullptr;
    if (c.readOnly) {
        input = new Fl_Output(r.x, r.y, r.w, r.h);
        input->color(fl_rgb_color(236, 233, 216));
    } else {
        input = new Fl_Input(r.x, r.y, r.w, r.h);
    }
    input->when(FL_WHEN_CHANGED);
    return input;
}

GroupBox* Frame(Rect r) {
    auto* g = new GroupBox(r.x, r.y, r.w, r.h);
    g->end();
    return g;
}

// The tab control and one group per page, which the controls on that page go into.
Fl_Tabs* Tabs(const Control& c, Rect r, std::vector<Fl_Group*>& pages) {
    auto* tabs = new Fl_Tabs(r.x, r.y, r.w, r.h);
    tabs->end();
    for (std::size_t p = 0; p < c.items.size(); ++p) {
        auto* page = new Fl_Group(r.x, r.y + kTabHeader, r.w, r.h - kTabHeader);
        page->end();
        page->copy_label(LiteralLabel(c.items[p]).c_str());
        tabs->add(page);
        if (p > 0) page->hide();
        pages.push_back(page);
    }
    if (!pages.empty()) tabs->value(pages.front());
    return tabs;
}

}  // namespace

// Labels beside another control share the baseline of its text; a label that follows another
// stands right after that one's text; a paragraph starts a line under the one above. All rest
// on the fonts, so each is settled when its control is first shown, its partners first: the
// fonts are then opened by the first drawing, as for any window, unless a shown control needs
// them sooner.
void FltkAdapter::ArrangeShown(View& view) {
    for (const auto& binding : view.bindings) {
        if (!binding->arranged && binding->control != nullptr &&
            ui::ShownOnScreen(*binding->control)) {
            Arrange(view, *binding);
        }
    }
}

void FltkAdapter::Arrange(View& view, Binding& binding) {
    binding.arranged = true;
    auto partnerOf = [this, &view](const Control* c) -> Fl_Widget* {
        const auto it = view.byControl.find(c);
        if (it == view.byControl.end()) return nullptr;
        if (!it->second->arranged) Arrange(view, *it->second);
        return it->second->widget;
    };
    const Control& c = *binding.control;
    Fl_Widget* w = binding.widget;
    if (Fl_Widget* partner = partnerOf(c.lineUpWith)) LineUp(*w, *partner);
    if (Fl_Widget* before = partnerOf(c.follows)) {
        int width = 0, height = 0;
        before->measure_label(width, height);
        w->position(before->x() + width, w->y());
    }
    if (Fl_Widget* above = partnerOf(c.under)) PlaceUnder(*w, *above);
}

Fl_Widget* FltkAdapter::Create(View& view, const Control& c) {
    const Rect r = RectOf(c);
    switch (c.kind()) {
        case Kind::Button:
            return Button(c, r);
        case Kind::CheckBox:
            return new Fl_Check_Button(r.x, r.y, r.w, r.h);
        case Kind::Option:
            return Option(r);
        case Kind::List:
            return List(r);
        case Kind::ScrollBar:
            return ScrollBar(c, r);
        case Kind::Slider:
            return Slider(c, r);
        case Kind::Label: {
            LabelBox* label = Label(c, r);
            label->onMnemonic = [this, &c] { FocusAfter(c); };
            return label;
        }
        case Kind::TextBox:
            return TextBox(c, r);
        case Kind::Picture:
            return new PictureBox(r.x, r.y, r.w, r.h, c.picture);
        case Kind::Frame: {
            GroupBox* frame = Frame(r);
            frame->onMnemonic = [this, &c] { FocusAfter(c); };
            return frame;
        }
        case Kind::Tabs:
            view.tabs = Tabs(c, r, view.pages);
            return view.tabs;
        case Kind::IconList:
            return new IconList(r.x, r.y, r.w, r.h);
    }
    return nullptr;
}

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
    window->onLockedClick = [this] { RaiseUsable(); };
    window->onFocusBack = [this, &view] { return RestoreFocus(view); };

    // Create the widgets detached, then add them to their parents: pictures first, since in
    // the designs they lie under the other controls.
    const auto& controls = form.controls();
    std::vector<Fl_Widget*> widgets(controls.size(), nullptr);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        ui::Control& c = *controls[i];
        Fl_Group::current(nullptr);
        Fl_Widget* w = Create(view, c);
        widgets[i] = w;
        if (!c.tooltip.empty()) w->copy_tooltip(Utf8FromAnsi(c.tooltip).c_str());

        auto binding = std::make_unique<Binding>();
        binding->adapter = this;
        binding->control = &c;
        binding->widget = w;
        w->callback(Callbacks::Widget, binding.get());
        if (c.kind() == Kind::IconList) {
            Binding* b = binding.get();
            static_cast<IconList*>(w)->onActivate = [b] { Callbacks::Activate(b); };
        }
        view.byControl[&c] = binding.get();
        view.bindings.push_back(std::move(binding));
    }

    auto parentOf = [&](const Control& c) -> Fl_Group* {
        if (c.container != nullptr) {
            for (std::size_t i = 0; i < controls.size(); ++i) {
                if (controls[i].get() == c.container && controls[i]->kind() == Kind::Frame) {
                    return static_cast<Fl_Group*>(widgets[i]);
                }
            }
        }
        if (c.tab >= 0 && &c != form.tabs() && !view.pages.empty()) {
            return view.pages[std::min(static_cast<std::size_t>(c.tab), view.pages.size() - 1)];
        }
        return window;
    };
    for (const bool pictures : {true, false}) {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if ((controls[i]->kind() == Kind::Picture) != pictures) continue;
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

}  // namespace gui
