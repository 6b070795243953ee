#include "selection.h"

#include "effects.h"
#include "instance.h"
#include "random.h"

// Until palettes, translations and forbiddens are wired in, the random change picks the wave,
// flame and display function in the final order of draws and switches the translation off.
void randomChange() {
    plugin.currentWave = randomNext() % kWaveCount;
    plugin.currentFlame = randomNext() % kFlameCount;
    const int r = randomNext() % 6;
    plugin.currentDisplay = r < 3 ? 0 : r - 2;
    randomNext(); // the translation decision
    plugin.currentTranslation = 0;
}
