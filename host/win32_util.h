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

// Makes the calling thread DPI unaware for good (where the system has per-thread awareness):
// the system then scales what it reads and shows, as for a program without a DPI manifest.
// False where it could not.
bool makeThreadDpiUnaware();

// Makes the calling thread per-monitor DPI aware for the scope's life where the system offers it
// (Windows 10 1607 and later), so that it reads windows and the screen in physical pixels.
class PhysicalPixelsScope {
  public:
    PhysicalPixelsScope();
    ~PhysicalPixelsScope();
    PhysicalPixelsScope(const PhysicalPixelsScope&) = delete;
    PhysicalPixelsScope& operator=(const PhysicalPixelsScope&) = delete;

  private:
    void* previous_ = nullptr;
};
