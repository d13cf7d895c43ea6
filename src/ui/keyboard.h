// How a window answers the keyboard, the same in every adapter: the order in which Tab visits
// its controls, where a caption's mnemonic sends the focus, which control has the focus when
// the window opens, how the arrow keys move within a group of options, and what Escape does.
#pragma once

#include <vector>

#include "ui/control.h"

namespace ui {

class Form;

// Every control of the form in reading order: top to bottom and, within a row, left to right.
// A frame's controls follow the frame, and the tab control's pages follow the tab control,
// each in its own reading order; pictures, which no key reaches, come last.
std::vector<Control*> ReadingOrder(const Form& form);

// Whether Tab stops at the control as the window now stands: a kind that takes input, on
// screen and enabled there. Of a group of options only the chosen one is a stop (the first in
// reading order while none is chosen); the arrow keys move within the group.
bool IsTabStop(const Control& control);

// The tab stops, in reading order.
std::vector<Control*> TabStops(const Form& form);

// The stop that Tab (or Shift+Tab, backward) moves to from `from`, wrapping round; from null
// or from a control that is no stop, the first stop after (before) it in reading order.
// Null when the window has no stop.
Control* NextTabStop(const Form& form, const Control* from, bool backward);

// Where the focus starts when the window opens: its default button when it can take it, else
// its first stop.
Control* FirstFocus(const Form& form);

// Where the mnemonic of a label or a frame sends the focus: the first stop after it in
// reading order, wrapping round as Tab does (a frame's first stop lies inside it). Null when
// the window has no stop.
Control* MnemonicTarget(const Control& control);

// The option of the same group that an arrow key moves to, in reading order, wrapping round;
// options that are hidden or disabled are passed over. Null when there is none other.
Control* NextOption(const Control& option, bool backward);

// Escape presses the window's cancel button when the user can reach it. A window without one
// closes as by its title bar, except the main window: closing it would end the program, and
// it has no cancel button to say so.
void PressEscape(Form& form);

}  // namespace ui
