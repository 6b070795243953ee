// The configuration property sheet of Config and its New Forbidden dialog.
#pragma once
#include "control/favorites.h"
#include "base/settings.h"

// Runs the modal sheet of ten pages owned by parent; returns when it closes. The pages show the
// settings record, the file lists and the favourite and forbidden tables as loaded, and OK
// stores the controls of every page that was opened into the settings record.
void showConfigurationSheet(void* instance, void* parent);
// The same sheet on another settings record than the live one.
void showConfigurationSheetFor(void* instance, void* parent, Settings& record);
// Runs New Forbidden owned by owner; OK adds the chosen forbidden (a copy goes to *added when
// given). The number of the added forbidden, or 0 when nothing was added.
unsigned askNewForbidden(void* instance, void* owner, Forbidden* added = nullptr);
