// A window of the form model. Forms declare their controls in creation (tab) order and wire
// each to a handler; adapters render any form from this description alone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"

namespace ui {

class App;

class Form {
  public:
    Form(App& app, std::string name, std::string caption, int width, int height);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    App& app() const { return app_; }
    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    int width() const { return width_; }    // client area, twips
    int height() const { return height_; }  // client area, twips

    bool resizable = false;
    bool centerOnOwner = false;  // else centred on the screen
    // A fixed single border, as the main window has; else the frame of a dialog.
    bool singleBorder = false;

    Control& Add(Kind kind, const std::string& name, const std::string& caption, Place place,
                 int index = -1);
    Control* Find(const std::string& id) const;
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    // The tab control, when the form has one.
    Control* tabs() const { return tabs_; }

    bool loaded() const { return loaded_; }
    bool unloaded() const { return unloaded_; }
    bool visible() const { return visible_; }
    bool enabled() const { return enabled_; }

    // Loads the form on its first showing (its load handler runs first, and may unload it).
    void Show();
    void Hide();
    void SetEnabled(bool enabled);
    void BringToFront();
    void Unload();

    // The title-bar close box or its keystroke: every window ends as its own closing button.
    virtual void RequestClose() = 0;

    // Used by controls to report a state change to the adapters.
    void ControlChanged(Control& control);

  protected:
    virtual void Load() {}

  private:
    App& app_;
    std::string name_;
    std::string caption_;
    int width_;
    int height_;
    std::vector<std::unique_ptr<Control>> controls_;
    Control* tabs_ = nullptr;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool visible_ = false;
    bool enabled_ = true;
};

}  // namespace ui
