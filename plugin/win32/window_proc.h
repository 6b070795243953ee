#pragma once
#include <windows.h>

// The procedure of the plug-in window: key commands, hidden cursor, window moves, end of run.
LRESULT CALLBACK visWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
