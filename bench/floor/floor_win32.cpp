// What Win32 itself costs to start: a bare dialog-like window the size of the main window, with
// a five-page tab control, two check boxes and three buttons (common controls 6 through the
// same kind of manifest), and nothing else. Its start-up is the floor the program's is
// measured against.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w,
           int h) {
    HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    return child;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    WNDCLASSA cls = {};
    cls.lpfnWndProc = Procedure;
    cls.hInstance = instance;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = "FloorWin32";
    RegisterClassA(&cls);
    RECT r = {0, 0, 368, 344};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRect(&r, style, FALSE);
    HWND window =
        CreateWindowExA(0, "FloorWin32", "Floor Win32", style, CW_USEDEFAULT, CW_USEDEFAULT,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    HWND tabs = Child(window, WC_TABCONTROLA, "", WS_CLIPSIBLINGS, 8, 8, 352, 296);
    const char* const names[] = {"General", "MIDI", "A3D", "AC97", "Digital"};
    for (int i = 0; i < 5; ++i) {
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(names[i]);
        SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    Child(window, "BUTTON", "First option", BS_AUTOCHECKBOX, 24, 50, 200, 20);
    Child(window, "BUTTON", "Second option", BS_AUTOCHECKBOX, 24, 74, 200, 20);
    Child(window, "BUTTON", "About", BS_PUSHBUTTON, 8, 312, 49, 25);
    Child(window, "BUTTON", "OK", BS_DEFPUSHBUTTON, 208, 312, 73, 25);
    Child(window, "BUTTON", "Reset", BS_PUSHBUTTON, 288, 312, 73, 25);
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return 0;
}
