// The settings file's reader on arbitrary bytes: whatever it reads loads into a record whose
// texts end inside their fields, and what that record writes reads back as the same record.
#include "base/conf_file.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfKey key;
    key.parse(reinterpret_cast<const char*>(data), size);
    Settings record;
    SettingsLoadSteps steps{nullptr, nullptr, nullptr, nullptr};
    loadSettingsFrom(key, record, steps);
    for (int i = 0; i < kSettingFieldCount; ++i)
        if (settingFields[i].text &&
            !std::memchr(record.*settingFields[i].text, 0, kSettingTextSize))
            __builtin_trap();

    const std::string text = confText(record);
    ConfKey again;
    again.parse(text.data(), text.size());
    if (!again.problems().empty()) __builtin_trap();
    Settings back;
    loadSettingsFrom(again, back, steps);
    for (int i = 0; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        if (field.number ? record.*field.number != back.*field.number
                         : std::strcmp(record.*field.text, back.*field.text) != 0)
            __builtin_trap();
    }
    return 0;
}
