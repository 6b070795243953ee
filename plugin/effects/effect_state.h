// The private state of every wave, reset as a whole.
#pragma once

// Puts the private state of every wave (the shared beat detector, the letter-object angle and
// the current letter object included) back to how the plug-in starts. For tests and tools; the
// plug-in itself never resets wave state.
void resetEffectState();
