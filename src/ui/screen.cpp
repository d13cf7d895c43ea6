#include "ui/screen.h"

#include <algorithm>

#include "ui/app.h"
#include "ui/form.h"

namespace ui {

namespace {

// The control whose place this one's is relative to: its frame, else the tab control for a
// control on a page; null for the client area.
const Control* Holder(const Control& c) {
    if (c.container != nullptr) return c.container;
    const Control* tabs = c.form().tabs();
    if (c.tab >= 0 && tabs != nullptr && tabs != &c) return tabs;
    return nullptr;
}

// A chain longer than the form has controls loops: a design error, cut short rather than
// followed for ever.
std::size_t MaxHops(const Control& c) {
    return c.form().controls().size();
}

}  // namespace

Place PlaceInForm(const Control& control) {
    Place place = control.place;
    const Control* holder = Holder(control);
    for (std::size_t hops = 0; holder != nullptr && hops < MaxHops(control); ++hops) {
        place.left += holder->place.left;
        place.top += holder->place.top;
        holder = Holder(*holder);
    }
    return place;
}

namespace {

bool Overlap(const Place& a, const Place& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

// A label's text this far from a picture's edge reads as a caption, not as part of the
// picture.
constexpr int kOverPictureMargin = 60;

}  // namespace

bool OverPicture(const Control& label) {
    if (label.kind() != Kind::Label) return false;
    const Place place = PlaceInForm(label);
    for (const auto& other : label.form().controls()) {
        if (other->kind() != Kind::Picture || other->tab != label.tab) continue;
        if (Overlap(place, PlaceInForm(*other))) return true;
    }
    return false;
}

Place ScreenPlace(const Control& control) {
    Place place = PlaceInForm(control);
    if (OverPicture(control)) {
        // Moved in from the corner; the right edge stays, and the height with it.
        place.left += kOverPictureMargin;
        place.top += kOverPictureMargin;
        place.width = std::max(0, place.width - kOverPictureMargin);
    }
    return place;
}

bool ShownOnScreen(const Control& control) {
    const Control* c = &control;
    for (std::size_t hops = 0; hops <= MaxHops(control); ++hops) {
        if (!c->visible()) return false;
        if (c->container != nullptr) {
            c = c->container;
            continue;
        }
        if (c->tab < 0) return true;
        const Control* tabs = c->form().tabs();
        if (tabs == c) return true;
        return tabs != nullptr && tabs->visible() && tabs->value() == c->tab;
    }
    return false;
}

bool EnabledOnScreen(const Control& control) {
    const Control* c = &control;
    for (std::size_t hops = 0; hops <= MaxHops(control); ++hops) {
        if (!c->enabled()) return false;
        if (c->container != nullptr) {
            c = c->container;
            continue;
        }
        const Control* tabs = c->form().tabs();
        if (c->tab < 0 || tabs == nullptr || tabs == c) return true;
        return tabs->enabled();
    }
    return false;
}

Form* CentringOwner(const Form& form) {
    if (!form.centerOnOwner) return nullptr;
    const std::vector<Form*> forms = form.app().Forms();
    if (forms.empty() || forms.front() == &form) return nullptr;
    return forms.front();
}

ScreenBox Centred(int width, int height, const ScreenBox& around, const ScreenBox& area) {
    int left = around.left + (around.width - width) / 2;
    int top = around.top + (around.height - height) / 2;
    left = std::max(area.left, std::min(left, area.left + area.width - width));
    top = std::max(area.top, std::min(top, area.top + area.height - height));
    return {left, top, width, height};
}

std::vector<std::string> IconPictures(const Control& list) {
    std::vector<std::string> names;
    names.reserve(list.items.size());
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        names.push_back(list.picture + std::to_string(i + 1));
    }
    return names;
}

}  // namespace ui
