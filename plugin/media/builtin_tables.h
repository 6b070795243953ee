// The five built-in translation tables, generated on the user's machine into "tabs" on the
// first run and from the configuration page. Each generator takes the full path of the file
// to write, creates or truncates it, and writes 307,200 records in grid order; when the file
// cannot be created it does nothing. Generators that draw random numbers draw them from the
// calling thread's random source (random.h) and never seed it.
#pragma once
#include <string>

// "space.tab": flight out of the screen centre, new stars born at the centre (blend 8).
void generateSpaceTable(const std::string& path);
// "rotate.tab": rotation about the screen centre that slowly widens (blend 8).
void generateRotateTable(const std::string& path);
// "smoke.tab" / "down_spiral.tab": rotation that also pulls inward (blend 12). Computed in
// memory and written one row per write; draws no random numbers.
void generateSpiralDownTable(const std::string& path);
// "huricane.tab": a vortex with its eye at column 213, row 320 (blend 8).
void generateHurricaneTable(const std::string& path);
// "big_wheel.tab": rotation about column 256 of the top edge (blend 8).
void generateBigWheelTable(const std::string& path);

constexpr int kBuiltInTableCount = 5;

// File name of built-in table order (0..4); the third is "down_spiral.tab" on the first run
// and "smoke.tab" otherwise. Null outside 0..4.
const char* builtInTableName(int order, bool firstRun);

// Runs the five generators in order into tabsFolder (a separator is added when it has none),
// calling progress(1..5, context) after each generator returns, also when its file could not
// be created. progress may be null. The folder is not created. The caller shows the wait
// cursor around this call.
void generateBuiltInTables(const std::string& tabsFolder, bool firstRun,
                           void (*progress)(int position, void* context), void* context);
