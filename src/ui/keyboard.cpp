#include "ui/keyboard.h"

#include <algorithm>

#include "ui/app.h"
#include "ui/form.h"
#include "ui/screen.h"

namespace ui {

namespace {

bool TakesInput(Kind kind) {
    switch (kind) {
        case Kind::Button:
        case Kind::CheckBox:
        case Kind::Option:
        case Kind::List:
        case Kind::ScrollBar:
        case Kind::Slider:
        case Kind::TextBox:
        case Kind::Tabs:
        case Kind::IconList:
            return true;
        default:
            return false;
    }
}

bool Reachable(const Control& c) {
    return ShownOnScreen(c) && EnabledOnScreen(c);
}

bool SameGroup(const Control& a, const Control& b) {
    return a.kind() == Kind::Option && b.kind() == Kind::Option && a.name() == b.name() &&
           &a.form() == &b.form();
}

// Two controls of one holder stand in one row when the middle of either lies within the
// other's height: a label beside a taller list is read with it, a control below it is not.
bool SameRow(const Place& a, const Place& b) {
    const int middleA = a.top + a.height / 2;
    const int middleB = b.top + b.height / 2;
    return (middleB >= a.top && middleB < a.top + a.height) ||
           (middleA >= b.top && middleA < b.top + b.height);
}

void SortIntoRows(std::vector<Control*>& items) {
    std::stable_sort(items.begin(), items.end(), [](const Control* a, const Control* b) {
        if (a->place.top != b->place.top) return a->place.top < b->place.top;
        return a->place.left < b->place.left;
    });
    std::vector<Control*> sorted;
    sorted.reserve(items.size());
    for (std::size_t i = 0; i < items.size();) {
        const Place& first = items[i]->place;
        std::size_t end = i + 1;
        while (end < items.size() && SameRow(first, items[end]->place)) ++end;
        std::vector<Control*> row(items.begin() + static_cast<std::ptrdiff_t>(i),
                                  items.begin() + static_cast<std::ptrdiff_t>(end));
        std::stable_sort(row.begin(), row.end(), [](const Control* a, const Control* b) {
            return a->place.left < b->place.left;
        });
        sorted.insert(sorted.end(), row.begin(), row.end());
        i = end;
    }
    items.swap(sorted);
}

class Reader {
  public:
    explicit Reader(const Form& form) : form_(form), tabs_(form.tabs()) {}

    std::vector<Control*> Read() {
        std::vector<Control*> top;
        for (const auto& c : form_.controls()) {
            if (c->kind() == Kind::Picture) {
                pictures_.push_back(c.get());
            } else if (c->container == nullptr && (OutsidePages(*c) || c.get() == tabs_)) {
                top.push_back(c.get());
            }
        }
        Append(top);
        out_.insert(out_.end(), pictures_.begin(), pictures_.end());
        return out_;
    }

  private:
    bool OutsidePages(const Control& c) const { return c.tab < 0 || tabs_ == nullptr; }

    void Append(std::vector<Control*> items) {
        SortIntoRows(items);
        for (Control* c : items) {
            // A frame that holds itself, directly or not, is a design error: read once.
            if (std::find(out_.begin(), out_.end(), c) != out_.end()) continue;
            out_.push_back(c);
            if (c->kind() == Kind::Frame) Append(Inside(c));
            if (c == tabs_) {
                for (int page = 0; page < static_cast<int>(c->items.size()); ++page) {
                    Append(OnPage(page));
                }
            }
        }
    }

    std::vector<Control*> Inside(const Control* frame) const {
        std::vector<Control*> found;
        for (const auto& c : form_.controls()) {
            if (c->container == frame && c->kind() != Kind::Picture) found.push_back(c.get());
        }
        return found;
    }

    std::vector<Control*> OnPage(int page) const {
        std::vector<Control*> found;
        for (const auto& c : form_.controls()) {
            if (c->container == nullptr && c->tab == page && c.get() != tabs_ &&
                c->kind() != Kind::Picture) {
                found.push_back(c.get());
            }
        }
        return found;
    }

    const Form& form_;
    const Control* tabs_;
    std::vector<Control*> out_;
    std::vector<Control*> pictures_;
};

// The reachable members of an option's group, in reading order.
std::vector<Control*> Group(const Control& option, const std::vector<Control*>& order) {
    std::vector<Control*> members;
    for (Control* c : order) {
        if (SameGroup(*c, option) && Reachable(*c)) members.push_back(c);
    }
    return members;
}

bool IsStop(const Control& c, const std::vector<Control*>& order) {
    if (!TakesInput(c.kind()) || !Reachable(c)) return false;
    if (c.kind() != Kind::Option) return true;
    const std::vector<Control*> members = Group(c, order);
    for (const Control* m : members) {
        if (m->value() != 0) return m == &c;
    }
    return !members.empty() && members.front() == &c;
}

std::ptrdiff_t IndexOf(const std::vector<Control*>& order, const Control* c) {
    const auto it = std::find(order.begin(), order.end(), c);
    return it == order.end() ? -1 : it - order.begin();
}

}  // namespace

std::vector<Control*> ReadingOrder(const Form& form) {
    return Reader(form).Read();
}

bool IsTabStop(const Control& control) {
    return IsStop(control, ReadingOrder(control.form()));
}

std::vector<Control*> TabStops(const Form& form) {
    const std::vector<Control*> order = ReadingOrder(form);
    std::vector<Control*> stops;
    for (Control* c : order) {
        if (IsStop(*c, order)) stops.push_back(c);
    }
    return stops;
}

Control* NextTabStop(const Form& form, const Control* from, bool backward) {
    const std::vector<Control*> order = ReadingOrder(form);
    const auto n = static_cast<std::ptrdiff_t>(order.size());
    const std::ptrdiff_t at = from == nullptr ? -1 : IndexOf(order, from);
    const std::ptrdiff_t step = backward ? -1 : 1;
    // From nowhere, start just outside the order so that the first step lands on its end.
    std::ptrdiff_t i = at >= 0 ? at : (backward ? n : -1);
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        i = ((i + step) % n + n) % n;
        Control* c = order[static_cast<std::size_t>(i)];
        if (c == from) break;
        // Tab leaves a group of options: its other members are not where it goes next.
        if (from != nullptr && SameGroup(*c, *from)) continue;
        if (IsStop(*c, order)) return c;
    }
    return from != nullptr && IsStop(*from, order) ? const_cast<Control*>(from) : nullptr;
}

Control* FirstFocus(const Form& form) {
    const std::vector<Control*> order = ReadingOrder(form);
    for (Control* c : order) {
        if (c->isDefault && c->kind() == Kind::Button && IsStop(*c, order)) return c;
    }
    for (Control* c : order) {
        if (IsStop(*c, order)) return c;
    }
    return nullptr;
}

Control* MnemonicTarget(const Control& control) {
    return NextTabStop(control.form(), &control, false);
}

Control* NextOption(const Control& option, bool backward) {
    if (option.kind() != Kind::Option) return nullptr;
    const std::vector<Control*> members = Group(option, ReadingOrder(option.form()));
    const std::ptrdiff_t at = IndexOf(members, &option);
    const auto n = static_cast<std::ptrdiff_t>(members.size());
    if (at < 0 || n < 2) return nullptr;
    const std::ptrdiff_t next = ((at + (backward ? -1 : 1)) % n + n) % n;
    return members[static_cast<std::size_t>(next)];
}

void PressEscape(Form& form) {
    for (const auto& c : form.controls()) {
        if (c->isCancel && c->kind() == Kind::Button && c->Usable()) {
            c->Click();
            return;
        }
    }
    const std::vector<Form*> open = form.app().Forms();
    if (!open.empty() && open.front() == &form) return;
    form.RequestClose();
}

}  // namespace ui
