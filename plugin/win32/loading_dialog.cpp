#include "win32/loading_dialog.h"

#include "base/instance.h"
#include "resources/resource_ids.h"

#include <windows.h>
#include <commctrl.h>

namespace {
struct Loading {
    const char* caption;
    int count;
    LoadingLoop loop;
    bool done;
};

void setPosition(int position, void* bar) {
    SendMessageA(static_cast<HWND>(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

INT_PTR CALLBACK loadingProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* loading = reinterpret_cast<Loading*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetWindowTextA(dialog, loading->caption);
        SendDlgItemMessageA(dialog, IDC_LOADING_PROGRESS, PBM_SETRANGE32, 0, loading->count);
        SendDlgItemMessageA(dialog, IDC_LOADING_PROGRESS, PBM_SETPOS, 0, 0);
        return TRUE;
    }
    case WM_PAINT: {
        auto* loading = reinterpret_cast<Loading*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (!loading || loading->done) return FALSE;
        loading->done = true;
        ValidateRect(dialog, nullptr);
        HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        loading->loop(setPosition, GetDlgItem(dialog, IDC_LOADING_PROGRESS));
        SetCursor(previous);
        EndDialog(dialog, 1);
        return TRUE;
    }
    default:
        return FALSE;
    }
}
} // namespace

void runLoadingDialog(const char* caption, int count, LoadingLoop loop) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    Loading loading = {caption, count, loop, false};
    DialogBoxParamA(static_cast<HINSTANCE>(plugin.dllInstance), MAKEINTRESOURCEA(IDD_LOADING),
                    static_cast<HWND>(plugin.parentWindow), loadingProc,
                    reinterpret_cast<LPARAM>(&loading));
}
