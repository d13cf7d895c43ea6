// Renders every window of the form model with FLTK 1.3: one real window per open form, one
// widget per control, kept in line with the model; user actions become model changes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/fltk/fltk_prompter.h"
#include "ui/app.h"

class Fl_Widget;

namespace gui {

class FltkAdapter : public ui::AppObserver {
  public:
    // Attaches itself to the app; create it before the main window is opened, since its load
    // may already show messages and other windows.
    explicit FltkAdapter(ui::App& app);
    ~FltkAdapter() override;
    FltkAdapter(const FltkAdapter&) = delete;
    FltkAdapter& operator=(const FltkAdapter&) = delete;

    // Runs the event loop until the main window has been unloaded; 0 then, 1 when no window
    // is left on screen although the system has not ended.
    int Run();

    void FormOpened(ui::Form& form) override;
    void FormChanged(ui::Form& form) override;
    void FormToFront(ui::Form& form) override;
    void FormUnloaded(ui::Form& form) override;
    void ControlChanged(ui::Control& control) override;

    struct Binding;
    struct View;

  private:
    friend struct Callbacks;
    friend struct Keys;

    // The record of a form's window; the form itself is not touched, as it may be gone.
    View* ViewOf(const ui::Form* form);
    // Building (fltk_build.cpp).
    View& Build(ui::Form& form);
    Fl_Widget* Create(View& view, const ui::Control& control);
    void ArrangeShown(View& view);
    void Arrange(View& view, Binding& binding);

    void Sync(Binding& binding);
    void SyncValue(Binding& binding);
    void SyncView(View& view);
    void SyncAll();
    void ApplyForm(View& view);
    void Place(View& view);
    void RaiseUsable();
    void FocusAfter(const ui::Control& control);

    // The keyboard (fltk_keys.cpp): Tab, the arrow keys and Escape as every adapter answers
    // them, and the focus each window keeps while another has it.
    void InstallKeys();
    void RemoveKeys();
    bool Key(View& view);
    void Focus(View& view, const ui::Control* control);
    bool RestoreFocus(View& view);
    void NoteFocus();

    // The test-only record of the screen (fltk_probe.cpp), written after events when
    // CALVENOR_PROBE names a file.
    static void AfterEvents(void* self);
    void WriteProbe();
    // Runs a user action on the model, then brings every window in line and drops the
    // windows it unloaded.
    template <class Action>
    void Act(Action&& action);

    ui::App& app_;
    std::map<const ui::Form*, std::unique_ptr<View>> views_;
    std::vector<std::unique_ptr<View>> graveyard_;  // unloaded, freed outside callbacks
    bool syncing_ = false;
    std::string probePath_;
    std::string probeWritten_;
};

// The event loop alone, for a caller that keeps its adapter elsewhere: runs until the main
// window has been unloaded.
int RunFltk(ui::App& app);

// Whether a display server is named for the windows: an X server (DISPLAY) or, where FLTK
// draws on Wayland too, a Wayland compositor (WAYLAND_DISPLAY).
bool HasDisplay();
// The variables that name one, for a user who has none: "DISPLAY" or "DISPLAY or
// WAYLAND_DISPLAY".
const char* DisplayVariables();

}  // namespace gui
