// What the pages of the configuration property sheet show and store, without the dialogs:
// slider positions and combo selections to and from settings, the texts of every combo list,
// and which change-history texts What's New shows. The Win32 page procedures only move these
// values in and out of their controls.
#pragma once
#include <cstdint>

// Sensitivity slider (General page): positions 1..155 show 255 - "Beat_detection_sensitivity",
// so a threshold of 200 shows at 55 and the right end stores 100. Values outside the range show
// at the nearer end.
constexpr int kSensitivityMin = 1;
constexpr int kSensitivityMax = 155;
int sensitivityPosition(int32_t threshold);
int32_t sensitivityFromPosition(int position);

// Scale slider (Waves page): positions 0..3 show 3 - "WaveScale".
constexpr int kScaleMax = 3;
int scalePosition(int32_t waveScale);
int32_t waveScaleFromPosition(int position);

// The interval sliders: range 1..max, the setting itself as the position.
constexpr int kBeatIntervalMax = 64;     // Frequency_Random_Change, Frequency_Id3_Change
constexpr int kPictureIntervalMax = 128; // Frequency_Pic_Show
int intervalPosition(int32_t value, int max);
int32_t intervalFromPosition(int position, int max);

// The lists the pages' combo boxes show.
enum class ComboList {
    Resolutions,       // the nine rows of the resolution table
    Waves,             // every waveTable description
    Displays,          // every displayTable description
    Flames,            // every flameTable description
    Palettes,          // the listed palette files
    Translations,      // "<none>", then the listed translation files
    Pictures,          // "<none>", then the listed picture files
    ForbiddenWaves,    // "*", then every wave
    ForbiddenFlames,   // "*", then every flame
    ForbiddenDisplays, // "*", then every display function
};
int comboCount(ComboList list);
// The text of entry index, or "" outside the list.
const char* comboText(ComboList list, int index);

// The selection that shows an index setting ("Resolution", "Wave", "Display_mode", "Flame").
// A stored value outside the list shows the first entry, the one the plug-in uses for it.
int comboSelection(ComboList list, int32_t value);
// The setting stored from a selection. No selection (-1, a text typed into the box) or any
// other index outside the list stores 0, the entry the plug-in would fall back to.
int32_t settingFromSelection(ComboList list, int selection);
// The selection that shows a list position (currentPalette, currentTranslation, the current
// picture), or -1 (no selection) when the position holds no entry.
int listSelection(ComboList list, int position);

// A field of a new forbidden from its New Forbidden box: "*" and no selection give -1 (any),
// entry i gives effect i - 1.
int forbiddenFieldFromSelection(ComboList list, int selection);

// The versions whose change history What's New shows for a stored "Version", newest first:
// always 0x150, then each older version the stored one is below. Returns the count (at most 6).
constexpr int kHistoryVersionCount = 6;
int historyVersions(int32_t storedVersion, int32_t* versions);
