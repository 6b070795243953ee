// Small Win32 helpers shared by the host's source files.
#pragma once
#include <windows.h>

#include <string>

std::string windowText(HWND hwnd);
std::string windowClass(HWND hwnd);
// File-name part of the module that holds address ("" when none).
std::string moduleNameAt(const void* address);
// Windows created by the system for every thread with windows (input method windows), which
// belong neither to the host nor to the plug-in.
bool isSystemHelperWindow(HWND hwnd);
std::string hex32(unsigned long value); // "0x0000ABCD"
