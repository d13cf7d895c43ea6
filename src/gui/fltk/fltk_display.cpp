// The X11 display under FLTK, where the program must reach it itself.
#include <FL/Fl.H>
#include <FL/platform.H>

#include "gui/fltk/fltk_widgets.h"

namespace gui::fltk {

void SendRequests() {
#if FL_API_VERSION < 10400 || defined(FLTK_USE_X11)
    // Null where FLTK 1.4 runs on Wayland.
    if (fl_display != nullptr) XFlush(fl_display);
#endif
}

}  // namespace gui::fltk
