// The settings record: one field per registry value, named after it, in load and save order.
#pragma once
#include <cstdint>

constexpr int32_t kSettingsVersion = 0x150;
constexpr int kSettingTextSize = 256;

// A new record holds the defaults of every value, except "Version", which is 0 until a load
// has read it (What's New compares with the version found before this load).
struct Settings {
    int32_t Version = 0;
    int32_t Random = 1;
    int32_t Wave = 2;
    int32_t WaveScale = 1;
    int32_t Flame = 3;
    int32_t Resolution = 0;
    int32_t DataSource = 0;
    char Palette[kSettingTextSize] = "VOLCANO.MAP";
    char Transformation[kSettingTextSize] = "";
    int32_t Show_ID3 = 1;
    int32_t Show_Quorbel_Info = 0;
    int32_t Save_On_Exit = 0;
    int32_t Frequency_Random_Change = 8;
    int32_t Frequency_Id3_Change = 16;
    int32_t Load_All_Palettes = 0;
    int32_t Load_All_Trans = 0;
    int32_t Frequency_Pic_Show = 32;
    char Picture[kSettingTextSize] = "";
    int32_t Load_All_Pics = 0;
    int32_t Set_Pic_Palette = 0;
    int32_t Set_Pic_On_Background = 0;
    int32_t Beat_detection_sensitivity = 200;
    int32_t Display_mode = 0;
    int32_t Log_Errors_To_File = 0;
    int32_t Errors_Warning = 1;
    int32_t Show_3D_song_intro = 1;
    // The full-screen rows as a borderless window over the desktop, without a mode change.
    int32_t Fullscreen_On_Desktop = 1;
};

extern Settings settings;

// One row of the resolution table.
struct ResolutionRow {
    const char* text;
    int frameWidth, frameHeight, textSurfaceWidth, textSurfaceHeight, modeX, windowMode;
};
constexpr int kResolutionCount = 9;
extern const ResolutionRow resolutionTable[kResolutionCount];

// Sets the six geometry values of the plug-in from settings.Resolution; any index outside
// 0..8 behaves as row 0.
void applyResolution();

// The values in load and save order, "Version" first. Each is a number or a 256-byte text.
struct SettingField {
    const char* name;
    int32_t Settings::*number;                // null for a text
    char (Settings::*text)[kSettingTextSize]; // null for a number
};
constexpr int kSettingFieldCount = 27;
extern const SettingField settingFields[kSettingFieldCount];

// What loading the settings may have to show or do besides reading values.
struct SettingsLoadSteps {
    void (*firstRun)(void* context);                 // the first-run dialog (writes the tables)
    void (*whatsNew)(void* context, int32_t stored); // What's New for the version found
    void (*upgradeFavorites)(void* context);         // records of version 1.40
    void* context;
};

// The loading order on an open key (any type with the key operations getDword, getString,
// exists and writeDword): first-run handling, the version stamp, then every other value in
// table order with read-or-create defaults.
template <class Key>
void loadSettingsFrom(Key& key, Settings& record, const SettingsLoadSteps& steps) {
    if (!key.exists("Version")) {
        if (steps.firstRun) steps.firstRun(steps.context);
        if (steps.whatsNew) steps.whatsNew(steps.context, record.Version);
    }
    record.Version = key.getDword(kSettingsVersion, "Version");
    if (record.Version != kSettingsVersion) {
        if (record.Version == 0x140 && steps.upgradeFavorites)
            steps.upgradeFavorites(steps.context);
        if (steps.whatsNew) steps.whatsNew(steps.context, record.Version);
        key.writeDword(kSettingsVersion, "Version");
    }
    const Settings defaults;
    for (int i = 1; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        if (field.number)
            record.*field.number = key.getDword(defaults.*field.number, field.name);
        else
            key.getString(record.*field.text, defaults.*field.text, field.name);
    }
}

// Every value but "Version", in table order.
template <class Key> void saveSettingsTo(Key& key, const Settings& record) {
    for (int i = 1; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        if (field.number)
            key.writeDword(record.*field.number, field.name);
        else
            key.writeString(record.*field.text, field.name);
    }
}
