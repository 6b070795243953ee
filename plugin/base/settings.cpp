#include "base/settings.h"
#include "base/instance.h"

Settings settings;

const ResolutionRow resolutionTable[kResolutionCount] = {
    {"640x480 (256 colors) full screen", 640, 480, 300, 150, 0, 0},
    {"640x400 (256 colors) full screen", 640, 400, 300, 150, 0, 0},
    {"320x240 (256 colors) full screen", 320, 240, 150, 75, 1, 0},
    {"320x200 (256 colors) full screen", 320, 200, 150, 75, 1, 0},
    {"640x480 windowed", 640, 480, 300, 150, 0, 1},
    {"640x400 windowed", 640, 400, 300, 150, 0, 1},
    {"320x240 windowed", 320, 240, 150, 75, 1, 1},
    {"320x200 windowed", 320, 200, 150, 75, 1, 1},
    {"160x120 windowed", 160, 120, 100, 60, 1, 1},
};

#define NUMBER(name)                                                                               \
    { #name, &Settings::name, nullptr }
#define TEXT(name)                                                                                 \
    { #name, nullptr, &Settings::name }
const SettingField settingFields[kSettingFieldCount] = {
    NUMBER(Version),
    NUMBER(Random),
    NUMBER(Wave),
    NUMBER(WaveScale),
    NUMBER(Flame),
    NUMBER(Resolution),
    NUMBER(DataSource),
    TEXT(Palette),
    TEXT(Transformation),
    NUMBER(Show_ID3),
    NUMBER(Show_Quorbel_Info),
    NUMBER(Save_On_Exit),
    NUMBER(Frequency_Random_Change),
    NUMBER(Frequency_Id3_Change),
    NUMBER(Load_All_Palettes),
    NUMBER(Load_All_Trans),
    NUMBER(Frequency_Pic_Show),
    TEXT(Picture),
    NUMBER(Load_All_Pics),
    NUMBER(Set_Pic_Palette),
    NUMBER(Set_Pic_On_Background),
    NUMBER(Beat_detection_sensitivity),
    NUMBER(Display_mode),
    NUMBER(Log_Errors_To_File),
    NUMBER(Errors_Warning),
    NUMBER(Show_3D_song_intro),
    NUMBER(Fullscreen_On_Desktop),
};
#undef NUMBER
#undef TEXT

void applyResolution() {
    int index = settings.Resolution;
    if (index < 0 || index >= kResolutionCount) index = 0;
    const ResolutionRow& row = resolutionTable[index];
    plugin.frameWidth = row.frameWidth;
    plugin.frameHeight = row.frameHeight;
    plugin.textSurfaceWidth = row.textSurfaceWidth;
    plugin.textSurfaceHeight = row.textSurfaceHeight;
    plugin.modeX = row.modeX;
    plugin.windowMode = row.windowMode;
}
