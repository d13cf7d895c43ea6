#include "gui/win32/win32_adapter.h"

#include <cstring>

#include "gui/win32/win32_bitmaps.h"
#include "gui/win32/win32_view.h"
#include "ui/screen.h"

namespace gui {

Win32Adapter::Win32Adapter(ui::App& app, HINSTANCE instance) : app_(app), instance_(instance) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    HDC screen = GetDC(nullptr);
    if (screen != nullptr) {
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpiX_ <= 0) dpiX_ = 96;
    if (dpiY_ <= 0) dpiY_ = 96;

    // The dialog font of the desktop (Tahoma 8 on XP), else the stock GUI font.
    NONCLIENTMETRICSA metrics;
    std::memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        dialogFont_ = CreateFontIndirectA(&metrics.lfMessageFont);
        ownFont_ = dialogFont_ != nullptr;
    }
    if (dialogFont_ == nullptr) dialogFont_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    bigIcon_ = win32::MakeIcon("general", GetSystemMetrics(SM_CXICON));
    smallIcon_ = win32::MakeIcon("general", GetSystemMetrics(SM_CXSMICON));

    WNDCLASSEXA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Win32Adapter::WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    RegisterClassExA(&wc);

    app_.AddObserver(this);
    app_.SetPrompter(*this);
}

Win32Adapter::~Win32Adapter() {
    app_.RemoveObserver(this);
    for (auto& [form, view] : views_) Destroy(*view);
    views_.clear();
    graveyard_.clear();
    if (ownFont_) DeleteObject(dialogFont_);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

int Win32Adapter::Px(int twips) const {
    return MulDiv(twips, dpiX_, 1440);
}
int Win32Adapter::Py(int twips) const {
    return MulDiv(twips, dpiY_, 1440);
}

RECT Win32Adapter::Rect(const ui::Control& control) const {
    const ui::Place p = ui::ScreenPlace(control);
    RECT r = {Px(p.left), Py(p.top), 0, 0};
    r.right = r.left + Px(p.width);
    r.bottom = r.top + Py(p.height);
    return r;
}

Win32Adapter::View* Win32Adapter::ViewOf(const ui::Form* form) const {
    const auto it = views_.find(form);
    return it == views_.end() ? nullptr : it->second.get();
}

Win32Adapter::Binding* Win32Adapter::BindingOf(const ui::Control& control) const {
    View* view = ViewOf(&control.form());
    if (view == nullptr) return nullptr;
    for (Binding& binding : view->bindings) {
        if (binding.control == &control) return &binding;
    }
    return nullptr;
}

void Win32Adapter::Release(Binding& binding) {
    if (binding.font != nullptr) DeleteObject(binding.font);
    if (binding.bitmap != nullptr) DeleteObject(binding.bitmap);
    if (binding.images != nullptr) ImageList_Destroy(binding.images);
    binding.font = nullptr;
    binding.bitmap = nullptr;
    binding.images = nullptr;
}

void Win32Adapter::Destroy(View& view) {
    if (view.hwnd != nullptr) {
        // Messages that still arrive while it goes find no view.
        SetWindowLongPtrA(view.hwnd, GWLP_USERDATA, 0);
        DestroyWindow(view.hwnd);
        view.hwnd = nullptr;
    }
    for (Binding& binding : view.bindings) Release(binding);
    if (view.pageBrush != nullptr) DeleteObject(view.pageBrush);
    view.pageBrush = nullptr;
}

// ---- The model's notifications ----

void Win32Adapter::FormOpened(ui::Form& form) {
    Build(form);
}

void Win32Adapter::FormChanged(ui::Form& form) {
    View* view = ViewOf(&form);
    if (view == nullptr) return;
    SyncView(*view);
    ApplyForm(*view);
}

void Win32Adapter::FormToFront(ui::Form& form) {
    View* view = ViewOf(&form);
    if (view == nullptr) return;
    SetForegroundWindow(view->hwnd);
    BringWindowToTop(view->hwnd);
}

void Win32Adapter::FormUnloaded(ui::Form& form) {
    const auto it = views_.find(&form);
    if (it == views_.end()) return;
    std::unique_ptr<View> view = std::move(it->second);
    views_.erase(it);
    Destroy(*view);
    // Its window procedure may be running further up the stack: kept until the event ends.
    graveyard_.push_back(std::move(view));
    if (app_.Ended()) PostQuitMessage(0);
}

void Win32Adapter::ControlChanged(ui::Control& control) {
    View* view = ViewOf(&control.form());
    Binding* binding = BindingOf(control);
    if (view == nullptr || binding == nullptr) return;
    Sync(*view, *binding);
    // Frames and the tab control carry their children's visibility and usability.
    if (control.kind() == ui::Kind::Frame || control.kind() == ui::Kind::Tabs) {
        SyncShownAll(*view);
    } else {
        SyncShown(*view, *binding);
    }
}

}  // namespace gui
