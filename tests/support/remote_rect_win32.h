// A rectangle that a common control of another process writes into memory of its own: asked
// for through a buffer made in that process, as the control's messages carry a pointer.
#pragma once

#include "platform/win32/windows_api.h"

namespace testing_support {

class RemoteRect {
  public:
    explicit RemoteRect(HWND h) : hwnd_(h) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_ != nullptr) {
            buffer_ = VirtualAllocEx(process_, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
        }
    }
    ~RemoteRect() {
        if (buffer_ != nullptr) VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
        if (process_ != nullptr) CloseHandle(process_);
    }
    RemoteRect(const RemoteRect&) = delete;
    RemoteRect& operator=(const RemoteRect&) = delete;

    // In screen coordinates; false when the control does not answer. `first` goes in the
    // rectangle's left before the message (LVM_GETITEMRECT's part).
    bool Get(UINT message, WPARAM wParam, LONG first, RECT* out) {
        if (buffer_ == nullptr) return false;
        RECT r = {first, 0, 0, 0};
        SIZE_T moved = 0;
        if (!WriteProcessMemory(process_, buffer_, &r, sizeof r, &moved)) return false;
        if (!SendMessageA(hwnd_, message, wParam, reinterpret_cast<LPARAM>(buffer_))) return false;
        if (!ReadProcessMemory(process_, buffer_, &r, sizeof r, &moved)) return false;
        MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *out = r;
        return true;
    }

  private:
    HWND hwnd_;
    HANDLE process_ = nullptr;
    void* buffer_ = nullptr;
};

}  // namespace testing_support
