// Scripted dialog answers: a watcher thread reports every dialog box and message box of this
// process when it appears (its caption and the texts of its static and edit controls) and
// presses the scripted button of the first unanswered script entry whose caption matches.
#pragma once
#include "options.h"

#include <vector>

void startDialogWatcher(const std::vector<ScriptedDialog>& script);
// Stops the watcher; true when every entry that is not optional was answered.
bool stopDialogWatcher();
