#include "control/config_pages.h"

#include "effects/effects.h"
#include "media/palettes.h"
#include "media/pics.h"
#include "base/settings.h"
#include "media/translations.h"

namespace {
const char kNone[] = "<none>";
const char kAny[] = "*";

int clamp(int32_t value, int low, int high) {
    return value < low ? low : value > high ? high : static_cast<int>(value);
}

// Counts of the lists whose first entry is "<none>" or "*" and the rest a table or file list.
int listedCount(int count, int max) {
    return count < 0 ? 0 : count > max ? max : count;
}

const char* effectDescription(const EffectEntry* table, int count, int index) {
    return index >= 0 && index < count ? table[index].description : "";
}
} // namespace

int sensitivityPosition(int32_t threshold) {
    return 255 - clamp(threshold, 255 - kSensitivityMax, 255 - kSensitivityMin);
}

int32_t sensitivityFromPosition(int position) {
    return 255 - clamp(position, kSensitivityMin, kSensitivityMax);
}

int scalePosition(int32_t waveScale) {
    return kScaleMax - clamp(waveScale, 0, kScaleMax);
}

int32_t waveScaleFromPosition(int position) {
    return kScaleMax - clamp(position, 0, kScaleMax);
}

int intervalPosition(int32_t value, int max) {
    return clamp(value, 1, max);
}

int32_t intervalFromPosition(int position, int max) {
    return clamp(position, 1, max);
}

int comboCount(ComboList list) {
    switch (list) {
    case ComboList::Resolutions:
        return kResolutionCount;
    case ComboList::Waves:
        return kWaveCount;
    case ComboList::Displays:
        return kDisplayCount;
    case ComboList::Flames:
        return kFlameCount;
    case ComboList::Palettes:
        return listedCount(paletteCount, kMaxPalettes);
    case ComboList::Translations:
        return 1 + listedCount(translationCount, kMaxTranslations);
    case ComboList::Pictures:
        return 1 + listedCount(pictureCount, kMaxPictures);
    case ComboList::ForbiddenWaves:
        return 1 + kWaveCount;
    case ComboList::ForbiddenFlames:
        return 1 + kFlameCount;
    case ComboList::ForbiddenDisplays:
        return 1 + kDisplayCount;
    }
    return 0;
}

const char* comboText(ComboList list, int index) {
    if (index < 0 || index >= comboCount(list)) return "";
    switch (list) {
    case ComboList::Resolutions:
        return resolutionTable[index].text;
    case ComboList::Waves:
        return effectDescription(waveTable, kWaveCount, index);
    case ComboList::Displays:
        return effectDescription(displayTable, kDisplayCount, index);
    case ComboList::Flames:
        return effectDescription(flameTable, kFlameCount, index);
    case ComboList::Palettes:
        return paletteNames[index];
    case ComboList::Translations:
        return index == 0 ? kNone : translationNames[index];
    case ComboList::Pictures:
        return index == 0 ? kNone : pictureNames[index];
    case ComboList::ForbiddenWaves:
        return index == 0 ? kAny : effectDescription(waveTable, kWaveCount, index - 1);
    case ComboList::ForbiddenFlames:
        return index == 0 ? kAny : effectDescription(flameTable, kFlameCount, index - 1);
    case ComboList::ForbiddenDisplays:
        return index == 0 ? kAny : effectDescription(displayTable, kDisplayCount, index - 1);
    }
    return "";
}

int comboSelection(ComboList list, int32_t value) {
    return value >= 0 && value < comboCount(list) ? static_cast<int>(value) : 0;
}

int32_t settingFromSelection(ComboList list, int selection) {
    return selection >= 0 && selection < comboCount(list) ? selection : 0;
}

int listSelection(ComboList list, int position) {
    return position >= 0 && position < comboCount(list) ? position : -1;
}

int forbiddenFieldFromSelection(ComboList list, int selection) {
    return selection >= 1 && selection < comboCount(list) ? selection - 1 : -1;
}

int historyVersions(int32_t storedVersion, int32_t* versions) {
    static const int32_t older[] = {0x140, 0x131, 0x130, 0x120, 0x101};
    int count = 0;
    versions[count++] = kSettingsVersion;
    for (int32_t version : older)
        if (storedVersion < version) versions[count++] = version;
    return count;
}
