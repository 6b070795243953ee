// PNG files of the frame as shown, through zlib: 8-bit RGB, no interlace.
#pragma once
#include <cstdint>
#include <string>

// Writes width x height pixels (0x00RRGGBB each, rows width pixels apart) to path. False with
// a reason when it cannot.
bool writePng(const std::string& path, const uint32_t* pixels, int width, int height,
              std::string& error);
