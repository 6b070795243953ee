// The settings record: one field per registry value, named after it, in load and save order.
#pragma once
#include <cstdint>

constexpr int32_t kSettingsVersion = 0x150;
constexpr int kSettingTextSize = 256;

struct Settings {
    int32_t Version = kSettingsVersion;
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
