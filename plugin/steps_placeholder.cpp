// Frame steps whose modules have not landed yet: they do nothing, so every frame still runs.
#include "frame_steps.h"

void applyCurrentTranslation() {}
bool runPictureEvent() { return false; }
bool pictureLoaderBusy() { return false; }
void saveScreenshot(const uint8_t*) {}
bool loadIntroLetter(char) { return false; }
const char* currentPaletteName() { return ""; }
const char* currentTranslationName() { return ""; }
