// FLTK widgets that look and behave like the Win32 standard controls the windows were
// designed with, and the text conversion between the model's Windows-1252 and FLTK's UTF-8.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Valuator.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/pictures.h"

namespace gui::fltk {

// Windows-1252 bytes to UTF-8 and back; characters without a Windows-1252 form become '?'.
std::string Utf8FromAnsi(const std::string& ansi);
std::string AnsiFromUtf8(const std::string& utf8);

// A caption as an FLTK label: '&' mnemonics keep their meaning ("&&" shows one '&'), and
// '@' is never taken for a symbol (SetUpLook makes the normal label draw text only).
std::string LabelText(const std::string& ansi);
// Text shown literally: '&' is doubled so that it stays visible.
std::string LiteralLabel(const std::string& ansi);

// The dialog font's size in pixels: XP's 8-point dialog font at 96 dots an inch, the size the
// windows were laid out for.
constexpr int kFontSize = 11;

// Scheme, colours and fonts shared by every window; safe to call more than once.
void SetUpLook();

// Controls show the keyboard focus and take it when clicked, as on Windows, whatever FLTK's
// own preferences say. Setting that reads those preferences from their files, so it is done
// once a window is on screen, before anything is drawn; safe to call more than once.
void SetUpFocus();

// Sends the requests made so far to the display (a window's map request goes with FLTK's
// first drawing otherwise), so that the display and the window manager act on them while the
// program goes on.
void SendRequests();

// The screen's pixels one of FLTK's units covers (fltk_scale.cpp): where drawing happens now,
// and in a window's screen; 1 with FLTK 1.3, which does not scale.
float DrawingScale();
float WindowScale(Fl_Window& window);

// An FLTK image of one of the product's pictures, owning its pixels. The pixels are made
// when the image is first drawn: most pictures sit on pages or in windows that are never
// shown, and making them is most of what a start would otherwise cost. They are made for the
// pixels the picture covers where it is drawn (its size times the screen's scale, with FLTK
// 1.4), and made again when that scale changes: a picture enlarged from its pixels at 1x
// would be blurred.
class PictureImage {
  public:
    PictureImage(const std::string& name, int width, int height);
    // Both are for drawing now, at the scale of the surface drawn on.
    Fl_RGB_Image* image();
    // The picture as a disabled control shows it: grey and faded into the dialog face.
    Fl_Image* greyed();

  private:
    std::string name_;
    int width_, height_;
    float scale_ = 0;  // the scale the pixels were made for; 0 before they are
    ui::Image pixels_;
    std::unique_ptr<Fl_RGB_Image> image_;
    std::unique_ptr<Fl_Image> greyed_;
};

// A picture control.
class PictureBox : public Fl_Widget {
  public:
    PictureBox(int x, int y, int w, int h, const std::string& picture);
    void draw() override;

  private:
    PictureImage picture_;
};

// A static text; its mnemonic moves the focus to the next control, as in a dialog.
class LabelBox : public Fl_Box {
  public:
    LabelBox(int x, int y, int w, int h);
    int handle(int event) override;
    void draw() override;
    std::function<void()> onMnemonic;
};

// A drop-down list drawn as XP draws one: a white field with the arrow button at its right;
// with the focus, the chosen entry's text is highlighted, clear of the field's edges.
class DropList : public Fl_Choice {
  public:
    DropList(int x, int y, int w, int h);
    void draw() override;
    // Where the chosen entry's text goes.
    void TextArea(int& x, int& y, int& w, int& h) const;
};

// Where the first line of text that a widget shows has its baseline, in its window's
// coordinates: labels from their top, one-line fields and buttons centred; a widget without
// text gives the baseline a line of the dialog font would have centred on it.
int TextBaseline(Fl_Widget& widget);
// Moves a label so that its first line's baseline lies on that of the partner's text.
void LineUp(Fl_Widget& label, Fl_Widget& partner);
// Moves a paragraph to start a blank line under the wrapped text of the one above it.
void PlaceUnder(Fl_Widget& paragraph, Fl_Widget& above);

// A push button; the default one also answers Enter and draws a dark rim, the cancel one
// answers Escape.
class DialogButton : public Fl_Button {
  public:
    DialogButton(int x, int y, int w, int h);
    int handle(int event) override;
    void draw() override;
    bool isDefault = false;
    bool isCancel = false;
};

// A group box: an etched rectangle with its caption on the top border.
class GroupBox : public Fl_Group {
  public:
    GroupBox(int x, int y, int w, int h);
    void draw() override;
    int handle(int event) override;
    std::function<void()> onMnemonic;
};

// A horizontal scroll bar that moves as the Windows control does: a click in the trough by the
// bar's large change (again while the button is held, until the thumb reaches the pointer),
// the wheel by its small change a notch, the arrow keys by the small change, Page Up and Page
// Down by the large one, Home and End to its ends. The wheel and the keys report at once; a
// click or a drag reports when the button is let go.
// The change a wheel notch or a key asks of a bar (arrows its small change, Page keys its large
// change, Home and End its ends), or nothing for other events and keys.
std::optional<double> StepAsked(int event, const Fl_Valuator& bar, int smallChange,
                                int largeChange);

// A bar that a key or a wheel notch moves as a drag would, so that it reports the same way.
template <class Bar>
class SteppedBar : public Bar {
  public:
    using Bar::Bar;

  protected:
    void Step(double delta) {
        const double lo = std::min(this->minimum(), this->maximum());
        const double hi = std::max(this->minimum(), this->maximum());
        this->handle_push();
        this->handle_drag(std::clamp(this->value() + delta, lo, hi));
        this->handle_release();
    }
};

class LevelBar : public SteppedBar<Fl_Scrollbar> {
  public:
    LevelBar(int x, int y, int w, int h);
    ~LevelBar() override;
    int handle(int event) override;
    int smallChange = 1;
    int largeChange = 1;
    // The thumb as drawn, in its window's coordinates.
    void ThumbBox(int& x, int& y, int& w, int& h) const;

  private:
    bool PageTowardPointer();
    static void Repeat(void* self);
    int paging_ = 0;  // -1 or 1 while the trough is held
};

// A horizontal track bar with tick marks on both sides. Reports on release (and on keys and
// the wheel, at once).
class TrackBar : public SteppedBar<Fl_Valuator> {
  public:
    TrackBar(int x, int y, int w, int h);
    void draw() override;
    int handle(int event) override;
    int tickEvery = 0;
    int largeChange = 1;
    int smallChange = 1;
    // The thumb as drawn, in its window's coordinates.
    void ThumbBox(int& x, int& y, int& w, int& h) const;

  private:
    int ChannelLeft() const;
    int ChannelRight() const;
    int ThumbCentre() const;
    double ValueAt(int mouseX) const;
    int grab_ = -1;  // offset of the mouse from the thumb's centre while dragging
};

// A Win32 large-icon list view: icons with captions in a grid, a single selection, and a
// callback for double-clicks. callback() runs when the selection changes.
class IconList : public Fl_Group {
  public:
    IconList(int x, int y, int w, int h);
    // Each entry's caption and the name of its picture.
    void SetItems(const std::vector<std::string>& captions,
                  const std::vector<std::string>& pictures);
    const std::vector<std::string>& items() const { return items_; }
    int selected() const { return selected_; }
    void select(int index);  // no callback
    // The cell an entry is drawn in, in its window's coordinates; false when it is out of view.
    bool ItemBox(int index, int& x, int& y, int& w, int& h) const;
    void draw() override;
    int handle(int event) override;
    void resize(int x, int y, int w, int h) override;
    std::function<void()> onActivate;  // double-click on an entry

  private:
    int ItemAt(int mx, int my) const;
    void Layout();
    void Scrolled();
    static void ScrollCallback(Fl_Widget*, void* self);
    int Columns() const;

    std::vector<std::string> items_;
    std::vector<std::unique_ptr<PictureImage>> icons_;
    int selected_ = -1;
    int top_ = 0;  // scroll offset in pixels
    Fl_Scrollbar* scroll_;
};

}  // namespace gui::fltk
