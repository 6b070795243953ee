// The live effect selection: random change and the step operations.
#pragma once

// Chooses a new effect at random (palette, wave/flame/display, translation).
void randomChange();
