#include "win32/window_proc.h"

#include "base/guard.h"
#include "control/keys.h"
#include "win32/presentation.h"
#include "base/vis_module.h"

namespace {
const char kSource[] = "quorbel_plugin";
// WM_DPICHANGED (Windows 8.1 and later; older headers lack it).
constexpr UINT kDpiChanged = 0x02E0;

void forwardKey(HWND window, WPARAM wParam, LPARAM lParam) {
    const auto* module =
        reinterpret_cast<const winampVisModule*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (module && module->hwndParent)
        PostMessageA(static_cast<HWND>(module->hwndParent), WM_KEYDOWN, wParam, lParam);
}

bool held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

void onKeyDown(HWND window, WPARAM wParam, LPARAM lParam) {
    switch (handleKeyCommand(static_cast<unsigned>(wParam), held(VK_SHIFT), held(VK_CONTROL))) {
    case KeyAction::Close:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case KeyAction::Forward:
        forwardKey(window, wParam, lParam);
        break;
    case KeyAction::Handled:
        break;
    }
}
} // namespace

LRESULT CALLBACK visWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
    case WM_SIZE:
        markWindowMoved();
        break;
    case WM_DISPLAYCHANGE:
        presentationDisplayChanged();
        break;
    case kDpiChanged:
        presentationDpiChanged(reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        break;
    case WM_KEYDOWN:
        // No fault may leave a window procedure.
        guarded(kSource, __LINE__, [&] { onKeyDown(window, wParam, lParam); });
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
