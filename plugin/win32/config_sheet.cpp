#include "win32/config_sheet.h"

#include "media/builtin_tables.h"
#include "control/config_pages.h"
#include "win32/favorites_store.h"
#include "base/instance.h"
#include "media/palettes.h"
#include "base/paths.h"
#include "media/pics.h"
#include "resources/resource_ids.h"
#include "base/settings.h"
#include "media/translations.h"

#include <windows.h>
#include <commctrl.h>

namespace {
HINSTANCE sheetInstance = nullptr;
Settings* edited = &settings; // the record the pages show and store

// -- controls ----------------------------------------------------------------------------------

void fillCombo(HWND page, int id, ComboList list, int selection) {
    HWND combo = GetDlgItem(page, id);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0, count = comboCount(list); i < count; ++i)
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(comboText(list, i)));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

int comboChoice(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0));
}

void setSlider(HWND page, int id, int low, int high, int position) {
    SendDlgItemMessageA(page, id, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
    SendDlgItemMessageA(page, id, TBM_SETPOS, TRUE, position);
}

int sliderPosition(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageA(page, id, TBM_GETPOS, 0, 0));
}

void setCheck(HWND page, int id, int32_t value) {
    CheckDlgButton(page, id, value ? BST_CHECKED : BST_UNCHECKED);
}

int32_t checked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED ? 1 : 0;
}

void storeText(HWND page, int id, char (&field)[kSettingTextSize]) {
    if (GetDlgItemTextA(page, id, field, kSettingTextSize) == 0) field[0] = '\0';
}

void addLine(HWND list, const char* text, int number) {
    const LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (item >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(item), number);
}

// The selected line's item data is the value number; the line goes once the value is deleted.
void deleteSelected(HWND page, int listId, bool (*remove)(unsigned)) {
    HWND list = GetDlgItem(page, listId);
    const LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (item == LB_ERR) return;
    const auto number =
        static_cast<unsigned>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(item), 0));
    if (remove(number)) SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(item), 0);
}

// -- pages -------------------------------------------------------------------------------------

void initGeneral(HWND page) {
    fillCombo(page, IDC_RESOLUTION, ComboList::Resolutions,
              comboSelection(ComboList::Resolutions, edited->Resolution));
    setCheck(page, IDC_FULLSCREEN_ON_DESKTOP, edited->Fullscreen_On_Desktop);
    CheckRadioButton(page, IDC_SCOPE, IDC_ANALYZER,
                     edited->DataSource == 0 ? IDC_SCOPE : IDC_ANALYZER);
    setCheck(page, IDC_RANDOM, edited->Random);
    setSlider(page, IDC_RANDOM_INTERVAL, 1, kBeatIntervalMax,
              intervalPosition(edited->Frequency_Random_Change, kBeatIntervalMax));
    setSlider(page, IDC_SENSITIVITY, kSensitivityMin, kSensitivityMax,
              sensitivityPosition(edited->Beat_detection_sensitivity));
    setCheck(page, IDC_SHOW_ID3, edited->Show_ID3);
    setSlider(page, IDC_ID3_INTERVAL, 1, kBeatIntervalMax,
              intervalPosition(edited->Frequency_Id3_Change, kBeatIntervalMax));
    setCheck(page, IDC_SONG_INTRO, edited->Show_3D_song_intro);
    setCheck(page, IDC_SAVE_ON_EXIT, edited->Save_On_Exit);
    setCheck(page, IDC_SHOW_INFO, edited->Show_Quorbel_Info);
    setCheck(page, IDC_ERRORS_WARNING, edited->Errors_Warning);
    setCheck(page, IDC_LOG_ERRORS, edited->Log_Errors_To_File);
}

void applyGeneral(HWND page) {
    edited->Resolution =
        settingFromSelection(ComboList::Resolutions, comboChoice(page, IDC_RESOLUTION));
    edited->Fullscreen_On_Desktop = checked(page, IDC_FULLSCREEN_ON_DESKTOP);
    edited->DataSource = checked(page, IDC_SCOPE) ? 0 : 1;
    edited->Random = checked(page, IDC_RANDOM);
    edited->Frequency_Random_Change =
        intervalFromPosition(sliderPosition(page, IDC_RANDOM_INTERVAL), kBeatIntervalMax);
    edited->Beat_detection_sensitivity =
        sensitivityFromPosition(sliderPosition(page, IDC_SENSITIVITY));
    edited->Show_ID3 = checked(page, IDC_SHOW_ID3);
    edited->Frequency_Id3_Change =
        intervalFromPosition(sliderPosition(page, IDC_ID3_INTERVAL), kBeatIntervalMax);
    edited->Show_3D_song_intro = checked(page, IDC_SONG_INTRO);
    edited->Save_On_Exit = checked(page, IDC_SAVE_ON_EXIT);
    edited->Show_Quorbel_Info = checked(page, IDC_SHOW_INFO);
    edited->Errors_Warning = checked(page, IDC_ERRORS_WARNING);
    edited->Log_Errors_To_File = checked(page, IDC_LOG_ERRORS);
}

void initWaves(HWND page) {
    fillCombo(page, IDC_WAVE, ComboList::Waves, comboSelection(ComboList::Waves, edited->Wave));
    setSlider(page, IDC_WAVE_SCALE, 0, kScaleMax, scalePosition(edited->WaveScale));
    fillCombo(page, IDC_DISPLAY, ComboList::Displays,
              comboSelection(ComboList::Displays, edited->Display_mode));
}

void applyWaves(HWND page) {
    edited->Wave = settingFromSelection(ComboList::Waves, comboChoice(page, IDC_WAVE));
    edited->WaveScale = waveScaleFromPosition(sliderPosition(page, IDC_WAVE_SCALE));
    edited->Display_mode =
        settingFromSelection(ComboList::Displays, comboChoice(page, IDC_DISPLAY));
}

void initPalettes(HWND page) {
    fillCombo(page, IDC_PALETTE, ComboList::Palettes,
              listSelection(ComboList::Palettes, plugin.currentPalette));
    setCheck(page, IDC_LOAD_ALL_PALETTES, edited->Load_All_Palettes);
}

void applyPalettes(HWND page) {
    storeText(page, IDC_PALETTE, edited->Palette);
    edited->Load_All_Palettes = checked(page, IDC_LOAD_ALL_PALETTES);
}

void initFlames(HWND page) {
    fillCombo(page, IDC_FLAME, ComboList::Flames, comboSelection(ComboList::Flames, edited->Flame));
}

void applyFlames(HWND page) {
    edited->Flame = settingFromSelection(ComboList::Flames, comboChoice(page, IDC_FLAME));
}

void initTranslations(HWND page) {
    fillCombo(page, IDC_TRANSLATION, ComboList::Translations,
              listSelection(ComboList::Translations, plugin.currentTranslation));
    setCheck(page, IDC_LOAD_ALL_TRANS, edited->Load_All_Trans);
}

void applyTranslations(HWND page) {
    storeText(page, IDC_TRANSLATION, edited->Transformation);
    edited->Load_All_Trans = checked(page, IDC_LOAD_ALL_TRANS);
}

void advanceProgress(int position, void* context) {
    HWND bar = static_cast<HWND>(context);
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    UpdateWindow(bar);
}

// The built-in tables once more, the third as "smoke.tab"; the list is not refilled.
bool commandTranslations(HWND page, int id, int code) {
    if (id != IDC_GENERATE || code != BN_CLICKED) return false;
    HWND bar = GetDlgItem(page, IDC_GENERATE_PROGRESS);
    ShowWindow(bar, SW_SHOW);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, kBuiltInTableCount));
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    UpdateWindow(bar);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    generateBuiltInTables(dataFolder("tabs"), false, advanceProgress, bar);
    ShowWindow(bar, SW_HIDE);
    SetCursor(previous);
    return true;
}

void initPictures(HWND page) {
    fillCombo(page, IDC_PICTURE, ComboList::Pictures,
              listSelection(ComboList::Pictures, currentPicture));
    setCheck(page, IDC_LOAD_ALL_PICS, edited->Load_All_Pics);
    setCheck(page, IDC_PIC_PALETTE, edited->Set_Pic_Palette);
    setCheck(page, IDC_PIC_BACKGROUND, edited->Set_Pic_On_Background);
    setSlider(page, IDC_PIC_INTERVAL, 1, kPictureIntervalMax,
              intervalPosition(edited->Frequency_Pic_Show, kPictureIntervalMax));
}

void applyPictures(HWND page) {
    storeText(page, IDC_PICTURE, edited->Picture);
    edited->Load_All_Pics = checked(page, IDC_LOAD_ALL_PICS);
    edited->Set_Pic_Palette = checked(page, IDC_PIC_PALETTE);
    edited->Set_Pic_On_Background = checked(page, IDC_PIC_BACKGROUND);
    edited->Frequency_Pic_Show =
        intervalFromPosition(sliderPosition(page, IDC_PIC_INTERVAL), kPictureIntervalMax);
}

// One list line per table entry, in table order, each with its value number as item data.
template <class Entry>
void fillList(HWND page, int listId, const Entry* entries, int count,
              void (*lineOf)(const Entry&, char*, size_t)) {
    HWND list = GetDlgItem(page, listId);
    char line[1024];
    for (int i = 0; i < count; ++i) {
        lineOf(entries[i], line, sizeof line);
        addLine(list, line, entries[i].number);
    }
}

void initFavorites(HWND page) {
    fillList(page, IDC_FAVORITE_LIST, favorites, favoriteCount, favoriteLine);
}

bool commandFavorites(HWND page, int id, int code) {
    if (id != IDC_DELETE_ENTRY || code != BN_CLICKED) return false;
    deleteSelected(page, IDC_FAVORITE_LIST, deleteFavorite);
    return true;
}

void initForbiddens(HWND page) {
    fillList(page, IDC_FORBIDDEN_LIST, forbiddens, forbiddenCount, forbiddenLine);
}

bool commandForbiddens(HWND page, int id, int code) {
    if (code != BN_CLICKED) return false;
    if (id == IDC_DELETE_ENTRY) {
        deleteSelected(page, IDC_FORBIDDEN_LIST, deleteForbidden);
        return true;
    }
    if (id != IDC_ADD_FORBIDDEN) return false;
    // Owned by the player's window, as every other dialog of the plug-in.
    Forbidden added = {};
    const unsigned number = askNewForbidden(sheetInstance, plugin.parentWindow, &added);
    if (number != 0) {
        char line[512];
        forbiddenLine(added, line, sizeof line);
        addLine(GetDlgItem(page, IDC_FORBIDDEN_LIST), line, static_cast<int>(number));
    }
    return true;
}

struct Page {
    int templateId;
    int helpString;
    int description;
    void (*init)(HWND page);
    void (*apply)(HWND page);
    bool (*command)(HWND page, int id, int code);
};

const Page kPages[] = {
    {IDD_PAGE_GENERAL, IDS_HELP_GENERAL, IDC_GENERAL_DESCRIPTION, initGeneral, applyGeneral,
     nullptr},
    {IDD_PAGE_WAVES, IDS_HELP_WAVES, IDC_WAVES_DESCRIPTION, initWaves, applyWaves, nullptr},
    {IDD_PAGE_PALETTES, IDS_HELP_PALETTES, IDC_PALETTES_DESCRIPTION, initPalettes, applyPalettes,
     nullptr},
    {IDD_PAGE_FLAMES, IDS_HELP_FLAMES, IDC_FLAMES_DESCRIPTION, initFlames, applyFlames, nullptr},
    {IDD_PAGE_TRANSLATIONS, IDS_HELP_TRANSLATIONS, IDC_TRANSLATIONS_DESCRIPTION, initTranslations,
     applyTranslations, commandTranslations},
    {IDD_PAGE_PICTURES, IDS_HELP_PICTURES, IDC_PICTURES_DESCRIPTION, initPictures, applyPictures,
     nullptr},
    {IDD_PAGE_FAVORITES, IDS_HELP_FAVORITES, IDC_FAVORITES_DESCRIPTION, initFavorites, nullptr,
     commandFavorites},
    {IDD_PAGE_FORBIDDENS, IDS_HELP_FORBIDDENS, IDC_FORBIDDENS_DESCRIPTION, initForbiddens, nullptr,
     commandForbiddens},
    {IDD_PAGE_TIPS, IDS_TIPS, IDC_TIPS_DESCRIPTION, nullptr, nullptr, nullptr},
    {IDD_PAGE_ABOUT, IDS_ABOUT, IDC_ABOUT_DESCRIPTION, nullptr, nullptr, nullptr},
};
constexpr int kPageCount = sizeof kPages / sizeof kPages[0];

void showHelp(HWND page, const Page& info) {
    static char text[32000];
    if (LoadStringA(sheetInstance, static_cast<UINT>(info.helpString), text, sizeof text) <= 0)
        text[0] = '\0';
    SetDlgItemTextA(page, info.description, text);
    SendDlgItemMessageA(page, info.description, EM_SETSEL, static_cast<WPARAM>(-1), 0);
}

// One procedure for every page: the page record's lParam names its row of kPages.
INT_PTR CALLBACK pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    const Page* info = reinterpret_cast<const Page*>(GetWindowLongPtrA(page, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        info = reinterpret_cast<const Page*>(record->lParam);
        SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(info));
        showHelp(page, *info);
        if (info->init) info->init(page);
        return TRUE;
    }
    case WM_NOTIFY:
        if (!info || reinterpret_cast<const NMHDR*>(lParam)->code != PSN_APPLY) return FALSE;
        if (info->apply) info->apply(page);
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        return TRUE;
    case WM_COMMAND:
        return info && info->command && info->command(page, LOWORD(wParam), HIWORD(wParam));
    default:
        return FALSE;
    }
}

// -- New Forbidden -----------------------------------------------------------------------------

INT_PTR CALLBACK newForbiddenProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        fillCombo(dialog, IDC_FORBID_WAVE, ComboList::ForbiddenWaves, 0);
        fillCombo(dialog, IDC_FORBID_FLAME, ComboList::ForbiddenFlames, 0);
        fillCombo(dialog, IDC_FORBID_DISPLAY, ComboList::ForbiddenDisplays, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            const int wave = forbiddenFieldFromSelection(ComboList::ForbiddenWaves,
                                                         comboChoice(dialog, IDC_FORBID_WAVE));
            const int flame = forbiddenFieldFromSelection(ComboList::ForbiddenFlames,
                                                          comboChoice(dialog, IDC_FORBID_FLAME));
            const int display = forbiddenFieldFromSelection(
                ComboList::ForbiddenDisplays, comboChoice(dialog, IDC_FORBID_DISPLAY));
            const unsigned number = addForbidden(wave, flame, display);
            auto* added = reinterpret_cast<Forbidden*>(GetWindowLongPtrA(dialog, DWLP_USER));
            if (number != 0 && added) *added = {wave, flame, static_cast<int>(number), display};
            EndDialog(dialog, static_cast<INT_PTR>(number));
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
} // namespace

void showConfigurationSheet(void* instance, void* parent) {
    showConfigurationSheetFor(instance, parent, settings);
}

void showConfigurationSheetFor(void* instance, void* parent, Settings& record) {
    edited = &record;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    sheetInstance = static_cast<HINSTANCE>(instance);
    PROPSHEETPAGEA pages[kPageCount] = {};
    for (int i = 0; i < kPageCount; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].hInstance = sheetInstance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(kPages[i].templateId);
        pages[i].pfnDlgProc = pageProc;
        pages[i].lParam = reinterpret_cast<LPARAM>(&kPages[i]);
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hwndParent = static_cast<HWND>(parent);
    header.hInstance = sheetInstance;
    header.pszCaption = "Quorbel-4-MODPlug";
    header.nPages = kPageCount;
    header.nStartPage = 0;
    header.ppsp = pages;
    PropertySheetA(&header);
    edited = &settings;
}

unsigned askNewForbidden(void* instance, void* owner, Forbidden* added) {
    const INT_PTR result = DialogBoxParamA(
        static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDD_NEW_FORBIDDEN),
        static_cast<HWND>(owner), newForbiddenProc, reinterpret_cast<LPARAM>(added));
    return result > 0 ? static_cast<unsigned>(result) : 0;
}
