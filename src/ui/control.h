// A control of the form model: plain state plus one event. Setting the state from code raises
// the event exactly as a user's action does; assigning the state it already has raises nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ui {

enum class Kind {
    Button,
    CheckBox,
    Option,
    List,       // drop-down list whose entries can only be picked
    ScrollBar,  // reports its value when the thumb is released
    Slider,     // track bar with ticks
    Label,
    TextBox,
    Picture,
    Frame,
    Tabs,      // tab control; its value is the page shown
    IconList,  // list view of icons; its value is the selected entry, -1 for none
};

const char* KindName(Kind kind);
// Whether a control of this kind holds a number (its value): a state, a position or a level.
bool HasValue(Kind kind);

// Twips; relative to the frame that holds the control, else to the tab control's page for
// controls on a tab, else to the form's client area.
struct Place {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct Font {
    std::string face;  // empty: the dialog font
    double points = 0;
};

struct Color {
    bool set = false;
    unsigned char r = 0, g = 0, b = 0;
};

class Form;

class Control {
  public:
    Control(Form& form, Kind kind, std::string name, int index);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return form_; }
    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    int index() const { return index_; }  // -1 when not in a group
    std::string id() const;               // "cmdOK" or "optEQ(1)"

    // Design properties, set while the form is built.
    Control* container = nullptr;  // the frame holding it
    int tab = -1;                  // page of the form's tab control, -1 when outside it
    Place place;
    std::string tooltip;
    std::vector<std::string> items;  // entries of lists, icon lists and tab pages
    int min = 0;
    int max = 0;
    int smallChange = 1;
    int largeChange = 1;
    int tickEvery = 0;      // sliders: a tick mark every so many steps
    bool readOnly = false;  // text boxes the user cannot edit
    std::string picture;    // picture name (pictures) or image names (icon lists: picture + N)
    Font font;
    Color color;
    bool isDefault = false;  // Enter presses it
    bool isCancel = false;   // Escape presses it
    // Labels: the control beside it whose text this label's text shares a baseline with (for
    // a bar, whose middle it is centred on). The label's top then follows from the fonts.
    const Control* lineUpWith = nullptr;
    // Labels: stands right after the text of this label rather than at its own left.
    const Control* follows = nullptr;
    // Labels: a paragraph that starts a blank line under the text of this label, so that
    // paragraphs stay evenly spaced whatever the number of lines the font wraps them into.
    const Control* under = nullptr;

    const std::string& caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    const std::string& text() const { return text_; }
    void SetText(const std::string& text);  // text boxes; raises the change event
    int value() const { return value_; }
    // Check boxes and options 0/1, lists -1 to entries-1, bars min to max. A value the control
    // cannot take is ignored: callers check Accepts first where outside data is involved.
    void SetValue(int value);
    bool Accepts(int value) const;
    bool enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool visible() const { return visible_; }
    void SetVisible(bool visible);

    // Whether a user can reach it: it, its frame, the tab control and the form are all
    // enabled and visible.
    bool Usable() const;

    void Click();     // a button press
    void DblClick();  // a double-click on an icon list

    std::function<void()> onChange;  // the Click or Change handler
    std::function<void()> onDblClick;

  private:
    void Changed();

    Form& form_;
    Kind kind_;
    std::string name_;
    int index_;
    std::string caption_;
    std::string text_;
    int value_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
};

}  // namespace ui
