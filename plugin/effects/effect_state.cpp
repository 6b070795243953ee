#include "effects/effect_state.h"

#include "effects/draw.h"
#include "effects/objects.h"
#include "effects/wave_state.h"

void resetEffectState() {
    waveState = WaveState{};
    beatState = BeatState{};
    objectAngle = 0.0;
    freeLetterObject();
}
