// Palettes: the ".map" files in the "maps" folder, read into PaletteBlocks that carry each
// colour also as a 16-bit and a 32-bit display pixel.
//
// A ".map" file is text: up to 256 entries, one per line, for indices 0, 1, 2, ... Each entry is
// three decimal integers (red, green, blue) read like "%d %d %d": white space, line ends
// included, may separate them. Whatever follows the third number on its line is a comment.
// Each number keeps its low 8 bits (300 -> 44, -1 -> 255). If the first entry cannot be read
// the file gives no palette; a later entry that cannot be read is black and reading goes on with
// the next line; missing entries are black and lines after the 256th are ignored.
#pragma once
#include "media/pixel_format.h"

#include <cstddef>
#include <cstdint>

constexpr int kPaletteColours = 256;
constexpr int kMaxPalettes = 200;
constexpr int kPaletteNameSize = 256; // 255 characters and the terminating NUL

// In the layout of a Win32 PALETTEENTRY.
struct PaletteEntry {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags; // always 0
};

struct PaletteBlock {
    PaletteEntry entries[kPaletteColours];
    uint16_t pixels16[kPaletteColours]; // each colour as a pixel of the 16-bit display format
    uint32_t pixels32[kPaletteColours]; // each colour as a pixel of the 24- or 32-bit format
};
static_assert(sizeof(PaletteEntry) == 4, "PaletteEntry must match PALETTEENTRY");
static_assert(sizeof(PaletteBlock) == 2560, "PaletteBlock is 2560 bytes");

// Parses ".map" text. On success all 256 entries are written (missing or unreadable ones
// black) and true is returned; when the first entry cannot be read nothing is written and the
// result is false.
bool parsePaletteText(const char* text, size_t size, PaletteEntry* entries);
// Reads a ".map" file into block.entries and computes its pixel forms for format. False (block
// untouched) when the file cannot be opened or its first entry cannot be read.
bool readPaletteFile(const char* path, PaletteBlock& block, const PixelFormat& format);

// Fills pixels32 and pixels16 from entries for the display format. pixels32 repeats each
// channel byte into all three byte positions and masks it with the channel mask; pixels16 puts
// the top bits of each channel into the field its mask gives (shift and width from the mask),
// so 5-6-5, 5-5-5 and other 16-bit layouts all come out right.
void computePixelForms(PaletteBlock& block, const PixelFormat& format);

// The palette list, in the order the folder listing gave the names.
extern char paletteNames[kMaxPalettes][kPaletteNameSize];
extern int paletteCount;
// Load-all mode: one block per listed palette (null until loaded).
extern PaletteBlock* loadedPalettes[kMaxPalettes];
// Load-on-demand mode: the one block that the current palette is read into. It starts as a grey
// ramp so that a player without palettes still shows the frame.
extern PaletteBlock sharedPalette;
// The block whose colours presentation shows; never null. Pictures may point it at their own.
extern const PaletteBlock* currentPaletteEntries;

// The display side of applyPalette, set by the Windows layer: hands the chosen block to the
// screen (on 8-bit displays the DirectDraw palette) and returns the DirectDraw result. Null
// means there is no display yet; applyPalette then returns 0.
extern long (*displayPaletteHook)(const PaletteBlock& block);

// Lists the ".map" files of the "maps" folder (at most 200; the extension is matched without
// regard to case on every system). A name equal byte for byte to settings.Palette makes its
// position plugin.currentPalette; without a match currentPalette is kept (0 when it no longer
// points into the list). Blocks loaded for an earlier list are freed.
void enumeratePalettes();

// Reads palette index into loadedPalettes[index] (allocated when needed). A file that cannot be
// read leaves the block all black. False when the file could not be read or index is not in
// the list.
bool loadPalette(int index);

// Called after each palette, with the number done so far and paletteCount.
using PaletteProgress = void (*)(int done, int total, void* context);
// Loads every listed palette in order (load-all mode), reporting progress after each.
void loadAllPalettes(PaletteProgress progress = nullptr, void* context = nullptr);

// True when settings.Load_All_Palettes asks for load-all mode.
bool paletteLoadAllMode();

// Makes plugin.currentPalette current: in load-all mode its loaded block, otherwise the file is
// read again into sharedPalette (which keeps its previous colours when the file cannot be read).
// Sets currentPaletteEntries, then runs displayPaletteHook and returns its result. With no
// palettes listed the colours in use stay as they are (the hook still gets the block in use).
// A currentPalette outside the list is set to 0.
long applyPalette();

// Frees the loaded blocks (Quit). currentPaletteEntries keeps its colours.
void freePalettes();
