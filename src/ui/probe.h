// A test-only record of what an adapter has on screen, for suites that drive the real windows
// by the display server's mouse and keyboard. Each adapter fills it from its native widgets
// (places in screen pixels, what is shown, enabled, chosen and written) beside the model's own
// state, and writes it to the file that CALVENOR_PROBE names whenever it changed and the
// adapter has nothing left to do. Without that variable no adapter builds one.
//
// The text is one record a line, words "key=value" with texts quoted as the headless driver
// quotes them:
//   window NAME title="..." frame=X,Y,W,H client=X,Y,W,H shown=1 enabled=1
//          model_visible=1 model_enabled=1
//   control NAME.ID kind=KIND box=X,Y,W,H shown=1 enabled=1 focus=0 value=N text="..."
//          [thumb=X,Y,W,H] [parts=X,Y,W,H;X,Y,W,H...]
//          model_shown=1 model_enabled=1 model_value=N model_text="..."
//   box title="..." frame=X,Y,W,H shown=1       a message box or a dropped list
//   item text="..." box=X,Y,W,H kind=button|text|entry
//   end
// A control's "shown" and "enabled" are within its window, whose own state is on its line.
// Windows come in the order they were opened; a form's controls in its creation order. A
// window the model has no form for (a message box, a list's drop-down) is a "box" with
// "item" lines.
#pragma once

#include <string>
#include <vector>

#include "ui/control.h"

namespace ui {

class Form;

struct ProbeBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct ProbeControl {
    const Control* control = nullptr;
    ProbeBox box;
    bool shown = false;
    bool enabled = false;
    bool focused = false;
    int value = 0;     // checked, position, chosen entry, page shown; 0 for the rest
    std::string text;  // caption shown, text written, the chosen entry's text
    bool hasThumb = false;
    ProbeBox thumb;               // scroll bars and sliders
    std::vector<ProbeBox> parts;  // tab headers, icon list entries
};

struct ProbeItem {
    std::string kind;  // "button", "text" or "entry"
    std::string text;
    ProbeBox box;
};

struct ProbeWindow {
    const Form* form = nullptr;  // null for a window of the adapter's own
    std::string title;
    ProbeBox frame;   // with the title bar and border, where the adapter knows them
    ProbeBox client;  // the area the controls lie in
    bool shown = false;
    bool enabled = false;
    std::vector<ProbeControl> controls;
    std::vector<ProbeItem> items;
};

// The record as text, the model's state of every control beside what its adapter shows.
std::string FormatProbe(const std::vector<ProbeWindow>& windows);

// The model's value and text of a control as the record gives them.
int ProbeModelValue(const Control& control);
std::string ProbeModelText(const Control& control);

}  // namespace ui
