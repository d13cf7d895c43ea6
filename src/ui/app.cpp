#include "ui/app.h"

#include <algorithm>

#include "platform/platform.h"

namespace ui {

App::App(settings::Registry& registry, platform::Platform& platform, Prompter& prompter)
    : registry_(registry), platform_(platform), prompter_(&prompter) {}

App::~App() = default;

void App::Adopt(std::unique_ptr<Form> form) {
    Form& ref = *form;
    if (main_ == nullptr) main_ = &ref;
    forms_.push_back(std::move(form));
    for (auto* observer : observers_) observer->FormOpened(ref);
}

Form* App::FindForm(const std::string& name) const {
    for (const auto& form : forms_) {
        if (form->name() == name && !form->unloaded()) return form.get();
    }
    return nullptr;
}

std::vector<Form*> App::Forms() const {
    std::vector<Form*> open;
    for (const auto& form : forms_) {
        if (!form->unloaded()) open.push_back(form.get());
    }
    return open;
}

void App::Collect() {
    for (auto it = forms_.begin(); it != forms_.end();) {
        if ((*it)->unloaded()) {
            unloaded_.push_back(std::move(*it));
            it = forms_.erase(it);
        } else {
            ++it;
        }
    }
    unloaded_.clear();
}

Answer App::Show(const Message& message) {
    Message shown = message;
    if (shown.title.empty()) shown.title = kAppTitle;
    return prompter_->Show(shown);
}

bool App::StartProcess(const std::string& commandLine) {
    const bool ok = platform_.StartProcess(commandLine);
    for (auto* observer : observers_) observer->ProcessStarted(commandLine, ok);
    return ok;
}

void App::AddObserver(AppObserver* observer) {
    observers_.push_back(observer);
}

void App::RemoveObserver(AppObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void App::NotifyFormChanged(Form& form) {
    for (auto* observer : observers_) observer->FormChanged(form);
}

void App::NotifyFormToFront(Form& form) {
    for (auto* observer : observers_) observer->FormToFront(form);
}

void App::NotifyFormUnloaded(Form& form) {
    if (&form == main_) ended_ = true;
    for (auto* observer : observers_) observer->FormUnloaded(form);
}

void App::NotifyControlChanged(Control& control) {
    for (auto* observer : observers_) observer->ControlChanged(control);
}

}  // namespace ui
