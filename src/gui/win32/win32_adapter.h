// The Win32 adapter: renders any window of the form model with standard and common controls
// and turns the user's actions into the model's events. It holds no state of its own beyond
// the real windows that it keeps in line with the model.
//
// Every control is a direct child of its form's window, placed at its absolute position and
// shown only while its frame and tab page are; its control ID is kFirstControlId plus its
// position in Form::controls(), so that programs driving the window by messages (the smoke
// test) can find it.
//
// Its work is spread by job: win32_adapter.cpp (the model's notifications), win32_create.cpp
// (creating windows and controls), win32_sync.cpp (bringing them in line with the model),
// win32_arrange.cpp (places that rest on the fonts), win32_dispatch.cpp (the user's messages),
// win32_message_box.cpp, win32_bitmaps.cpp (pictures as GDI objects) and win32_text.cpp (edit
// control texts).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "ui/app.h"
#include "ui/screen.h"

namespace gui {

inline constexpr int kFirstControlId = 1000;
inline constexpr const char* kFormClass = "CalvenorXPForm";

class Win32Adapter : public ui::AppObserver, public ui::Prompter {
  public:
    Win32Adapter(ui::App& app, HINSTANCE instance);
    ~Win32Adapter() override;
    Win32Adapter(const Win32Adapter&) = delete;
    Win32Adapter& operator=(const Win32Adapter&) = delete;

    // Runs the message loop until the main window is unloaded; the exit code.
    int Run();

    ui::Answer Show(const ui::Message& message) override;

    void FormOpened(ui::Form& form) override;
    void FormChanged(ui::Form& form) override;
    void FormToFront(ui::Form& form) override;
    void FormUnloaded(ui::Form& form) override;
    void ControlChanged(ui::Control& control) override;

    struct Binding;  // a control's native window
    struct View;     // a form's native window and its bindings

  private:
    // Creating (win32_create.cpp).
    void Build(ui::Form& form);
    void CreateBinding(View& view, Binding& binding);
    void MakeShown(View& view);
    HFONT FontFor(Binding& binding);
    void AddTooltip(View& view, const Binding& binding);
    void MakeTooltip(View& view);
    bool OverPicture(const ui::Control& label) const;

    // Syncing (win32_sync.cpp).
    void Sync(View& view, Binding& binding);
    void SyncItems(Binding& binding);
    void SyncPicture(Binding& binding);
    void SyncShown(View& view, Binding& binding);
    void SyncView(View& view);
    void SyncShownAll(View& view);
    void ApplyForm(View& view);
    void Place(View& view);
    ui::ScreenBox CentredPlace(const ui::Form& form, int width, int height) const;
    COLORREF PageColor(View& view);
    // Places that rest on the fonts (win32_arrange.cpp).
    void Arrange(View& view);

    // Dispatching (win32_dispatch.cpp).
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(View& view, UINT message, WPARAM wParam, LPARAM lParam);
    bool ColorStatic(View& view, HDC dc, HWND child, LRESULT& brush);
    static void DrawTab(const DRAWITEMSTRUCT& item);
    static LRESULT DrawIcons(View& view, const NMLVCUSTOMDRAW& draw);
    void Activate(View& view, bool active);
    bool Command(View& view, int id, int code);
    bool Notify(View& view, const NMHDR& header);
    bool Wheel(View& view, int delta, POINT screen);
    bool TabKey(HWND root);
    bool OptionArrow(HWND root, WPARAM key);
    bool EnterKey(HWND root);
    void Scroll(View& view, HWND bar, int code, int position);
    // Runs a model event, then destroys what it unloaded once no other event is running.
    template <class F>
    void Event(F&& f);

    HWND Owner() const;  // of a message box
    void Release(Binding& binding);
    void Destroy(View& view);
    // The record of a form's window; the form itself is not touched, as it may be gone.
    View* ViewOf(const ui::Form* form) const;
    Binding* BindingOf(const ui::Control& control) const;

    int Px(int twips) const;
    int Py(int twips) const;
    RECT Rect(const ui::Control& control) const;  // in its window's client area

    ui::App& app_;
    HINSTANCE instance_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    HFONT dialogFont_ = nullptr;
    bool ownFont_ = false;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::map<const ui::Form*, std::unique_ptr<View>> views_;
    std::vector<std::unique_ptr<View>> graveyard_;  // unloaded, freed once no event runs
    int depth_ = 0;                                 // model events running
    bool syncing_ = false;  // notifications raised by our own updates are not the user's
};

}  // namespace gui
