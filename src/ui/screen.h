// Facts about how the form model appears on screen that every adapter needs alike: where a
// control lies in its window, whether a user can see and reach it there, where a window goes
// when it is first shown, and which pictures an icon list shows.
#pragma once

#include <string>
#include <vector>

#include "ui/control.h"

namespace ui {

class Form;

// The control's place in its form's client area, in twips: a frame's controls lie relative
// to the frame, a tab page's to the tab control.
Place PlaceInForm(const Control& control);

// Whether a label lies over a picture on its page: adapters draw it see-through.
bool OverPicture(const Control& label);

// The box an adapter gives the control, in twips in the form's client area: its place in the
// form, except that a label over a picture keeps its text off the picture's edges.
Place ScreenPlace(const Control& control);

// Whether the control is on screen while its window is: it, every frame around it and the
// tab control are visible, and the page it lies on is the one shown.
bool ShownOnScreen(const Control& control);

// Whether the control takes input while its window does: it, every frame around it and the
// tab control are enabled.
bool EnabledOnScreen(const Control& control);

// A box on the screen, in an adapter's pixels.
struct ScreenBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The form a window is centred on when first shown: the main window, for a form that asks
// for its owner and is not the main window itself; null for the screen.
Form* CentringOwner(const Form& form);

// Where a window of the given size goes: centred on `around`, then moved into `area` (the
// screen's work area) as far as it fits.
ScreenBox Centred(int width, int height, const ScreenBox& around, const ScreenBox& area);

// The picture of each entry of an icon list: the list's picture name and the entry's number
// from 1 ("tools1", "tools2", ...).
std::vector<std::string> IconPictures(const Control& list);

}  // namespace ui
