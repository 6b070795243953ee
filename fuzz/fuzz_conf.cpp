// The settings file's reader on arbitrary bytes: whatever it reads loads into a record whose
// texts end inside their fields, and what that record writes reads back as the same record,
// written as a new file or into these bytes as a save does.
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

    // A save into the same bytes: the values read back are the record's, whatever else the
    // file holds.
    const std::string merged =
        mergeConfText(std::string(reinterpret_cast<const char*>(data), size), record);
    ConfKey saved;
    saved.parse(merged.data(), merged.size());
    Settings fromSaved;
    loadSettingsFrom(saved, fromSaved, steps);
    for (int i = 0; i < kSettingFieldCount; ++i) {
        const SettingField& field = settingFields[i];
        if (field.number ? record.*field.number != fromSaved.*field.number
                         : std::strcmp(record.*field.text, fromSaved.*field.text) != 0)
            __builtin_trap();
    }
    // And a second save changes nothing.
    if (mergeConfText(merged, record) != merged) __builtin_trap();
    for (const std::string& problem : key.problems())
        for (char c : problem)
            if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
    return 0;
}
