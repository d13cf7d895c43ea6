// Message boxes: the system's own, owned by the window the user is working in.
#include "gui/win32/win32_adapter.h"
#include "gui/win32/win32_view.h"

namespace gui {

// The active window when it is one of ours, else the first that can take input; none
// makes the box task-modal.
HWND Win32Adapter::Owner() const {
    HWND active = GetActiveWindow();
    for (const auto& [form, view] : views_) {
        if (view->hwnd == active && active != nullptr) return active;
    }
    for (const auto& [form, view] : views_) {
        if (form->visible() && form->enabled()) return view->hwnd;
    }
    return nullptr;
}

ui::Answer Win32Adapter::Show(const ui::Message& message) {
    UINT flags = message.buttons == ui::Buttons::YesNo ? MB_YESNO : MB_OK;
    switch (message.icon) {
        case ui::Icon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case ui::Icon::Critical:
            flags |= MB_ICONSTOP;
            break;
        case ui::Icon::None:
            break;
    }
    HWND owner = Owner();
    if (owner == nullptr) flags |= MB_TASKMODAL | MB_SETFOREGROUND;
    const int answer = MessageBoxA(owner, message.text.c_str(), message.title.c_str(), flags);
    if (message.buttons == ui::Buttons::Ok) return ui::Answer::Ok;
    return answer == IDYES ? ui::Answer::Yes : ui::Answer::No;
}

}  // namespace gui
