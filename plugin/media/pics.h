// Pictures from pics\*.gif, read through gbm and scaled to the frame when read: either all at
// start ("Load_All_Pics") or the next one by a background loader. Also the screen shot.
#pragma once
#include "base/loader_thread.h"
#include "media/palettes.h"

#include <cstdint>

constexpr int kMaxPictures = 99; // entry 0 of the name list stands for none

extern char pictureNames[kMaxPictures + 1][256];
extern int pictureCount;
extern int currentPicture;
extern uint8_t* pictureBuffer;
extern uint8_t* loadedPictures[kMaxPictures + 1];
extern PaletteBlock* loadedPicturePalettes[kMaxPictures + 1];
extern LoaderThread pictureLoader;

// Lists the pictures (files beyond the 99th are ignored); the "Picture" setting, compared
// exactly, sets currentPicture.
void listPictures();

// Nearest-neighbour scaling of an 8-bit picture whose rows are sourcePitch bytes apart (top row
// first) into a destination of destinationWidth x destinationHeight bytes. False when the step
// tables cannot be obtained.
bool scalePicture(const uint8_t* source, int sourceWidth, int sourceHeight, long sourcePitch,
                  uint8_t* destination, int destinationWidth, int destinationHeight);

// Reads picture index into target (a new frameWidth x frameHeight buffer) and, with
// "Set_Pic_Palette", its colours into palette (or a new block for load-all mode). A picture
// that cannot be read, or is not 256-colour, leaves target empty and sets currentPicture to 0.
bool loadPicture(uint8_t*& target, int index);

// Starts the loader for currentPicture unless it runs.
void startPictureLoad();
// Loads every picture (load-all mode), calling progress(i - 1) before picture i and
// progress(count) at the end.
void loadAllPictures(void (*progress)(int position, void* context), void* context);
// The picture's own colours on screen.
void applyPicturePalette();
// Start-up after listing: the loader started for the first picture (without load-all).
void startPictures();
// Quit: waits at most 60,000 ms for the loader, then frees the pictures (not while a loader
// still writes them).
void shutDownPictures();

// Saves frame (frameWidth x frameHeight) as the lowest free shot_N.gif in the host folder,
// with the colours of the current palette file.
void saveScreenshot(const uint8_t* frame);
