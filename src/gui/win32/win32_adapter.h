// The Win32 adapter: renders any window of the form model with standard and common controls
// and turns the user's actions into the model's events. It holds no state of its own beyond
// the real windows that mirror the model.
//
// Every control is a direct child of its form's window, placed at its absolute position and
// shown only while its frame and tab page are; its control ID is kFirstControlId plus its
// position in Form::controls(), so that programs driving the window by messages (the smoke
// test) can find it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows_api_win32.h"
#include "ui/app.h"

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

  private:
    struct Widget;
    struct Window;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(Window& window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Command(Window& window, int id, int code);
    bool Notify(Window& window, const NMHDR& header);
    void Scroll(Window& window, HWND bar, int code, int position);
    // Runs a model event, then destroys what it unloaded once no other event is running.
    template <class F>
    void Event(F&& f);

    void CreateWidget(Window& window, Widget& widget);
    void Mirror(Window& window, Widget& widget);
    void SyncItems(Widget& widget);
    void Arrange(Window& window, Widget& widget);
    void ArrangeAll(Window& window);
    void Place(Window& window);
    void SetPicture(Widget& widget);
    COLORREF PageColor(Window& window);
    void ReleaseWidget(Widget& widget);
    Window* Find(const ui::Form& form) const;
    Window* Alive(const ui::Form* form) const;
    Widget* Find(const ui::Control& control) const;
    HWND Owner() const;

    int Px(int twips) const;
    int Py(int twips) const;
    RECT Absolute(const ui::Control& control) const;

    ui::App& app_;
    HINSTANCE instance_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    HFONT dialogFont_ = nullptr;
    bool ownFont_ = false;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::map<const ui::Form*, std::unique_ptr<Window>> windows_;
    std::vector<std::unique_ptr<Window>> closed_;
    int depth_ = 0;           // model events running
    bool mirroring_ = false;  // notifications raised by our own updates are not the user's
};

}  // namespace gui
