// Message boxes for the FLTK build: a modal window with the title, the wrapped text, an
// information or stop icon, and OK or Yes and No.
#pragma once

#include "ui/prompter.h"

namespace gui {

class FltkPrompter : public ui::Prompter {
  public:
    FltkPrompter();
    ui::Answer Show(const ui::Message& message) override;
};

}  // namespace gui
