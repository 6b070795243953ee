#include "base/frame_steps.h"
#include "effects/objects.h"

// The terminating position of the intro text has no object.
bool loadIntroLetter(char character) {
    return character != '\0' && loadLetterObject(character);
}
