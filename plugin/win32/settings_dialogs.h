// The dialogs that loading the settings may show: the first-run dialog, which generates the
// built-in translation tables, and What's New.
#pragma once
#include <cstdint>

void firstRunDialog(void* instance, void* parent);
void showWhatsNew(void* instance, void* parent, int32_t storedVersion);
// The history text for a stored version, newest change first (strings of the resources).
void buildHistoryText(void* instance, int32_t storedVersion, char* text, unsigned size);
