// The running system: its open windows, the services they use, and the observers (adapters)
// that mirror them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/prompter.h"

namespace platform {
class Platform;
}
namespace settings {
class Registry;
}

namespace ui {

class AppObserver {
  public:
    virtual ~AppObserver() = default;
    virtual void FormOpened(Form&) {}
    virtual void FormChanged(Form&) {}  // shown, hidden, enabled or disabled
    virtual void FormToFront(Form&) {}
    virtual void FormUnloaded(Form&) {}
    virtual void ControlChanged(Control&) {}
    virtual void ProcessStarted(const std::string& /*command*/, bool /*ok*/) {}
};

class App : public Prompter {
  public:
    App(settings::Registry& registry, platform::Platform& platform, Prompter& prompter);
    ~App() override;

    settings::Registry& registry() { return registry_; }
    platform::Platform& platform() { return platform_; }

    // Creates a window afresh; the first one opened is the main window.
    template <class F, class... Args>
    F& Open(Args&&... args) {
        auto form = std::make_unique<F>(*this, std::forward<Args>(args)...);
        F& ref = *form;
        Adopt(std::move(form));
        return ref;
    }

    Form* FindForm(const std::string& name) const;
    std::vector<Form*> Forms() const;  // open windows, oldest first
    // True once the main window has been unloaded.
    bool Ended() const { return ended_; }
    // Destroys unloaded windows; adapters call it when an event has been handled.
    void Collect();

    Answer Show(const Message& message) override;
    // Starts a program; observers hear of it and of its result.
    bool StartProcess(const std::string& commandLine);

    void AddObserver(AppObserver* observer);
    void RemoveObserver(AppObserver* observer);
    void SetPrompter(Prompter& prompter) { prompter_ = &prompter; }

    // Used by forms.
    void NotifyFormChanged(Form& form);
    void NotifyFormToFront(Form& form);
    void NotifyFormUnloaded(Form& form);
    void NotifyControlChanged(Control& control);

  private:
    void Adopt(std::unique_ptr<Form> form);

    settings::Registry& registry_;
    platform::Platform& platform_;
    Prompter* prompter_;
    std::vector<std::unique_ptr<Form>> forms_;
    std::vector<std::unique_ptr<Form>> unloaded_;
    std::vector<AppObserver*> observers_;
    Form* main_ = nullptr;
    bool ended_ = false;
};

}  // namespace ui
