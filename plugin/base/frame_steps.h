// Steps of the frame loop that live in other modules.
#pragma once
#include <cstdint>

// Applies the current translation to the frame when one is on.
void applyCurrentTranslation();
// The picture event: lays the prepared picture when one is ready; true when the event was
// consumed (the pending mark is cleared).
bool runPictureEvent();
// True while the picture loader runs.
bool pictureLoaderBusy();
// Saves the frame as the next free shot_N.gif.
void saveScreenshot(const uint8_t* frame);
// Loads the letter object of a character for the intro; true when it loaded.
bool loadIntroLetter(char character);
// File names shown in the effect-information line ("" when none).
const char* currentPaletteName();
const char* currentTranslationName();
