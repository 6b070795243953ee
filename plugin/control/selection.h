// The live effect selection: random change and the step operations.
#pragma once

// Chooses a new effect at random (palette, wave/flame/display, translation).
void randomChange();

// The live selection from the settings at a start: the random lock, wave scale (outside 0..3
// taken as 0), wave, flame, display, data source and its sample bias.
void takeSelectionFromSettings();
