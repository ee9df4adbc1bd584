// The yardstick for the usage window's start-up time: the least a Win32 program does to show a
// line of text in a 400 by 80 window (register a class, create the window, paint one line with
// TextOut), and the same wait for a key or the close button.
#include <windows.h>

namespace {

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = ::BeginPaint(window, &paint);
        static const char line[] = "hit anykey to close window";
        ::TextOutA(dc, 0, 0, line, sizeof line - 1);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_CHAR:
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "minimal_window";
    ::RegisterClassA(&window_class);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rect{0, 0, 400, 80};
    ::AdjustWindowRect(&rect, style, FALSE);
    const HWND window = ::CreateWindowA("minimal_window", "minimal", style, CW_USEDEFAULT,
                                        CW_USEDEFAULT, rect.right - rect.left,
                                        rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(window, show);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
