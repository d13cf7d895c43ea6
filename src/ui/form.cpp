#include "ui/form.h"

#include "ui/app.h"

namespace ui {

Form::Form(App& app, std::string name, std::string caption, int width, int height)
    : app_(app),
      name_(std::move(name)),
      caption_(std::move(caption)),
      width_(width),
      height_(height) {}

Form::~Form() = default;

Control& Form::Add(Kind kind, const std::string& name, const std::string& caption, Place place,
                   int index) {
    auto control = std::make_unique<Control>(*this, kind, name, index);
    control->SetCaption(caption);
    control->place = place;
    Control& ref = *control;
    controls_.push_back(std::move(control));
    if (kind == Kind::Tabs) tabs_ = &ref;
    return ref;
}

Control* Form::Find(const std::string& id) const {
    for (const auto& control : controls_) {
        if (control->id() == id) return control.get();
    }
    return nullptr;
}

void Form::Show() {
    if (unloaded_) return;
    if (!loaded_) {
        loaded_ = true;
        Load();
        if (unloaded_) return;
    }
    if (visible_) return;
    visible_ = true;
    app_.NotifyFormChanged(*this);
}

void Form::Hide() {
    if (!visible_ || unloaded_) return;
    visible_ = false;
    app_.NotifyFormChanged(*this);
}

void Form::SetEnabled(bool enabled) {
    if (enabled == enabled_ || unloaded_) return;
    enabled_ = enabled;
    app_.NotifyFormChanged(*this);
}

void Form::BringToFront() {
    if (!unloaded_) app_.NotifyFormToFront(*this);
}

void Form::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    visible_ = false;
    app_.NotifyFormUnloaded(*this);
}

void Form::ControlChanged(Control& control) {
    if (!unloaded_) app_.NotifyControlChanged(control);
}

}  // namespace ui
