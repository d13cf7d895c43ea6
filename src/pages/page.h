// A tab of the main window: it builds its controls on its page of the form's tab control,
// handles their events and takes its share of the settings load, which the main window runs
// in its fixed order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/registry.h"
#include "ui/app.h"
#include "ui/form.h"

namespace pages {

using ui::Control;

class Page {
  public:
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

  protected:
    Page(ui::Form& form, int tab) : form_(form), tab_(tab) {}
    ~Page() = default;

    // A control on this tab; with a frame, placed inside the frame.
    Control& Add(ui::Kind kind, const std::string& name, const std::string& caption,
                 ui::Place place, Control* frame = nullptr, int index = -1);

    ui::App& app() const { return form_.app(); }
    settings::Registry& registry() const { return form_.app().registry(); }
    // Reads a value as the text every window holds a setting in.
    std::string Read(const char* key, const char* name) const;
    // Stores a held number as the REG_DWORD every setting of the pages is.
    void Store(const char* key, const char* name, const std::string& text) const;
    // A check box's handler: holds the box's state (1 ticked, 0 not) and stores it.
    void StoreCheck(const Control* box, const char* key, const char* name, std::string& held) const;

    // Sets a control to a loaded number when it can take it. A value it cannot take (missing,
    // not a number, out of its range) leaves the control in its design state, so its handler
    // does not run and nothing is written back for it.
    static void SetFrom(Control* control, std::optional<std::int32_t> number, int offset = 0);
    // The same for a setting held as text, read as a 16-bit number.
    static void SetFrom16(Control* control, const std::string& text, int offset = 0);

    ui::Form& form_;

  private:
    int tab_;
};

}  // namespace pages
