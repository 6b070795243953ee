// The modal "loading all ..." dialogs: a caption and one progress bar, no buttons. On its first
// paint the dialog shows the wait cursor, runs the loading loop (which advances the bar through
// the callback it is given), restores the cursor and closes itself.
#pragma once

using LoadingLoop = void (*)(void (*progress)(int position, void* bar), void* bar);

void runLoadingDialog(const char* caption, int count, LoadingLoop loop);
