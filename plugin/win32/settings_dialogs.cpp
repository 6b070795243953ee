#include "win32/settings_dialogs.h"

#include "control/config_pages.h"
#include "base/paths.h"
#include "resources/resource_ids.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "media/builtin_tables.h"

namespace {
struct DialogContext {
    HINSTANCE instance;
    int32_t storedVersion;
};

void advanceProgress(int position, void* context) {
    SendMessageA(static_cast<HWND>(context), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void generateTables(HWND dialog) {
    HWND progress = GetDlgItem(dialog, IDC_FIRST_RUN_PROGRESS);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    generateBuiltInTables(dataFolder("tabs"), true, advanceProgress, progress);
    SetCursor(previous);
}

INT_PTR CALLBACK firstRunProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_FIRST_RUN_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 5));
        SendDlgItemMessageA(dialog, IDC_FIRST_RUN_PROGRESS, PBM_SETPOS, 0, 0);
        return TRUE;
    case WM_COMMAND:
        // OK is the only way out: the tables are generated first.
        if (LOWORD(wParam) == IDOK) {
            generateTables(dialog);
            EndDialog(dialog, 1);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK whatsNewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* context = reinterpret_cast<const DialogContext*>(lParam);
        static char text[32000];
        LoadStringA(context->instance, IDS_TERMS, text, sizeof text);
        SetDlgItemTextA(dialog, IDC_WHATS_NEW_TERMS, text);
        buildHistoryText(context->instance, context->storedVersion, text, sizeof text);
        SetDlgItemTextA(dialog, IDC_WHATS_NEW_HISTORY, text);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

void buildHistoryText(void* instance, int32_t storedVersion, char* text, unsigned size) {
    struct Entry {
        int32_t version;
        UINT string;
    };
    static const Entry strings[] = {{0x150, IDS_HISTORY_150}, {0x140, IDS_HISTORY_140},
                                    {0x131, IDS_HISTORY_131}, {0x130, IDS_HISTORY_130},
                                    {0x120, IDS_HISTORY_120}, {0x101, IDS_HISTORY_101}};
    int32_t versions[kHistoryVersionCount];
    const int count = historyVersions(storedVersion, versions);
    std::string history;
    for (int i = 0; i < count; ++i)
        for (const Entry& entry : strings) {
            char piece[4096];
            if (entry.version == versions[i] && LoadStringA(static_cast<HINSTANCE>(instance),
                                                            entry.string, piece, sizeof piece) > 0)
                history += piece;
        }
    std::snprintf(text, size, "%s", history.c_str());
}

void firstRunDialog(void* instance, void* parent) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_FIRST_RUN),
                    static_cast<HWND>(parent), firstRunProc, 0);
}

void showWhatsNew(void* instance, void* parent, int32_t storedVersion) {
    DialogContext context = {static_cast<HINSTANCE>(instance), storedVersion};
    DialogBoxParamA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_WHATS_NEW),
                    static_cast<HWND>(parent), whatsNewProc, reinterpret_cast<LPARAM>(&context));
}
