// How many of the screen's pixels one of FLTK's units covers. FLTK 1.4 scales its units by the
// screen's factor and, on Wayland, the compositor scales them again by the output's; FLTK 1.3
// does not scale.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#if FL_API_VERSION >= 10400
#include <FL/Fl_Graphics_Driver.H>
#include <FL/platform.H>
#endif

#include "gui/fltk/fltk_widgets.h"

namespace gui::fltk {

#if FL_API_VERSION >= 10400

namespace {

// The output's scale of a window on Wayland; 1 on X11.
float OutputScale([[maybe_unused]] Fl_Window* window) {
#if defined(FLTK_USE_WAYLAND)
    if (window != nullptr && fl_wl_display() != nullptr) {
        return static_cast<float>(fl_wl_buffer_scale(window));
    }
#endif
    return 1;
}

}  // namespace

float DrawingScale() {
    return fl_graphics_driver->scale() * OutputScale(Fl_Window::current());
}

float WindowScale(Fl_Window& window) {
    return Fl::screen_scale(window.screen_num()) * OutputScale(window.shown() ? &window : nullptr);
}

#else

float DrawingScale() {
    return 1;
}

float WindowScale(Fl_Window&) {
    return 1;
}

#endif

}  // namespace gui::fltk
