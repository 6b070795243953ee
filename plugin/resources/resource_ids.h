// Resource identifiers of the plug-in (dialog templates, controls, strings, bitmaps, icon).
#pragma once

#define IDI_QUORBEL 121
#define IDB_LOGO 108
#define IDB_LOGO_LARGE 124

#define IDD_WHATS_NEW 123
#define IDC_WHATS_NEW_TERMS 1050
#define IDC_WHATS_NEW_HISTORY 1049

#define IDD_FIRST_RUN 130
#define IDC_FIRST_RUN_LOGO 1101
#define IDC_FIRST_RUN_TEXT 1102
#define IDC_FIRST_RUN_PROGRESS 1103
#define IDC_FIRST_RUN_CREDIT 1104

#define IDS_ABOUT_WINAMP 1
#define IDS_TIPS 2
#define IDS_HELP_PALETTES 3
#define IDS_HELP_WAVES 4
#define IDS_HELP_TRANSLATIONS 5
#define IDS_HELP_FLAMES 6
#define IDS_HELP_GENERAL 7
#define IDS_HELP_PICTURES 8
#define IDS_HELP_FAVORITES 9
#define IDS_HISTORY_101 10
#define IDS_HISTORY_120 11
#define IDS_HISTORY_130 12
#define IDS_HISTORY_131 13
#define IDS_HISTORY_140 14
#define IDS_ABOUT 15
#define IDS_HISTORY_150 16
#define IDS_HELP_FORBIDDENS 17
#define IDS_TERMS 18
