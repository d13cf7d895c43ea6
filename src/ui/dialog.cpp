#include "ui/dialog.h"

namespace ui {

Dialog::Dialog(App& app, Form& owner, std::string name, std::string caption, int width, int height)
    : Form(app, std::move(name), std::move(caption), width, height), owner_(owner) {}

void Dialog::ShowOverOwner() {
    Show();
    if (unloaded()) return;
    owner_.SetEnabled(false);
    BringToFront();
}

void Dialog::ShowInsteadOfOwner() {
    Show();
    if (unloaded()) return;
    owner_.Hide();
    owner_.SetEnabled(false);
}

void Dialog::HandBack() {
    owner_.SetEnabled(true);
    Hide();
    Unload();
    owner_.SetEnabled(true);
    owner_.Show();
}

}  // namespace ui
