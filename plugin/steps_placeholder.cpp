// Frame steps whose modules have not landed yet: they do nothing, so every frame still runs.
#include "frame_steps.h"

bool runPictureEvent() { return false; }
bool pictureLoaderBusy() { return false; }
void saveScreenshot(const uint8_t*) {}
