#include "ui/control.h"

#include "ui/form.h"

namespace ui {

bool HasValue(Kind kind) {
    return kind == Kind::CheckBox || kind == Kind::Option || kind == Kind::List ||
           kind == Kind::ScrollBar || kind == Kind::Slider || kind == Kind::IconList ||
           kind == Kind::Tabs;
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Button:
            return "button";
        case Kind::CheckBox:
            return "checkbox";
        case Kind::Option:
            return "option";
        case Kind::List:
            return "list";
        case Kind::ScrollBar:
            return "scrollbar";
        case Kind::Slider:
            return "slider";
        case Kind::Label:
            return "label";
        case Kind::TextBox:
            return "textbox";
        case Kind::Picture:
            return "picture";
        case Kind::Frame:
            return "frame";
        case Kind::Tabs:
            return "tabs";
        case Kind::IconList:
            return "iconlist";
    }
    return "control";
}

Control::Control(Form& form, Kind kind, std::string name, int index)
    : form_(form), kind_(kind), name_(std::move(name)), index_(index) {
    if (kind == Kind::List || kind == Kind::IconList) value_ = -1;
}

std::string Control::id() const {
    return index_ < 0 ? name_ : name_ + "(" + std::to_string(index_) + ")";
}

void Control::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Changed();
}

void Control::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    Changed();
    if (onChange) onChange();
}

bool Control::Accepts(int value) const {
    switch (kind_) {
        case Kind::CheckBox:
        case Kind::Option:
            return value == 0 || value == 1;
        case Kind::List:
        case Kind::IconList:
        case Kind::Tabs:
            return value >= -1 && value < static_cast<int>(items.size());
        case Kind::ScrollBar:
        case Kind::Slider:
            return value >= min && value <= max;
        default:
            return false;
    }
}

// The one place where the event rule lives: a new state raises the event, the same state
// raises nothing. An option that becomes selected clears the others of its group first;
// clearing raises nothing.
void Control::SetValue(int value) {
    if (value == value_ || !Accepts(value)) return;
    if (kind_ == Kind::Option && value == 1) {
        for (const auto& other : form_.controls()) {
            if (other.get() != this && other->kind_ == Kind::Option && other->name_ == name_ &&
                other->value_ != 0) {
                other->value_ = 0;
                other->Changed();
            }
        }
    }
    value_ = value;
    Changed();
    if (kind_ == Kind::Option && value == 0) return;
    if (kind_ == Kind::Tabs) return;
    if (onChange) onChange();
}

void Control::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Changed();
}

void Control::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    Changed();
}

bool Control::Usable() const {
    if (!form_.visible() || !form_.enabled()) return false;
    for (const Control* c = this; c != nullptr; c = c->container) {
        if (!c->enabled_ || !c->visible_) return false;
    }
    if (tab >= 0 && form_.tabs() != nullptr) {
        const Control* tabs = form_.tabs();
        if (!tabs->enabled_ || !tabs->visible_) return false;
    }
    return true;
}

void Control::Click() {
    if (onChange) onChange();
}

void Control::DblClick() {
    if (onDblClick) onDblClick();
}

void Control::Changed() {
    form_.ControlChanged(*this);
}

}  // namespace ui
