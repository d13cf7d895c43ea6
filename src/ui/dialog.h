// A window opened from another one (its owner), which stays locked while this one is open.
// No window is modal: the owner is disabled instead, and kept in sight or hidden.
#pragma once

#include <string>

#include "ui/form.h"

namespace ui {

class Dialog : public Form {
  public:
    Dialog(App& app, Form& owner, std::string name, std::string caption, int width, int height);

    Form& owner() const { return owner_; }

    // The two ways of opening. Either shows this window first (its load runs); a window that
    // dismissed itself while loading leaves the owner as it was.
    // The owner stays visible but disabled, and this window comes to the front.
    void ShowOverOwner();
    // The owner is hidden and disabled until this window gives it back.
    void ShowInsteadOfOwner();

    // Closing by the title bar or its keystroke ends as the window's own closing button does;
    // for most windows that is the plain hand-back.
    void RequestClose() override { HandBack(); }

  protected:
    // Gives the owner back, in this order: enable the owner, hide and unload this window,
    // enable the owner again and make it visible.
    void HandBack();

  private:
    Form& owner_;
};

}  // namespace ui
