// hurricanemaker: writes a translation table that looks like a satellite view of a
// hurricane: pixels circle an eye, fast near it and slower further out. The random source is
// never seeded, so the same arguments always give the same file.
#include "base/random.h"
#include "tool_common.h"
#include "media/translation_table.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kDefaultSpeed = 100;
constexpr int kDefaultRandomness = 70;
constexpr int kDefaultBlend = 8;
constexpr int kDefaultCentreX = 213;
constexpr int kDefaultCentreY = 230;

void printUsage(const char* argv0) {
    std::printf("Hurricane table generator for QUORBEL-4-Winamp.\n");
    std::printf("The generated table looks like a sattelite view of a hurricane or\n");
    std::printf("Jupiter's red spot.\n");
    std::printf("\n");
    std::printf("Usage:  %s [-s[x][y]] [-c#:#] [-r] outfile.tab [speed [Randomness [Blend]]]\n",
                programName(argv0));
    std::printf("  Speed should be 30..300 (default %d)\n", kDefaultSpeed);
    std::printf("  Randomness should be 0..100 (default %d)\n", kDefaultRandomness);
    std::printf("  Blend should be 0..255 (default %d)\n", kDefaultBlend);
    std::printf("  -sx slows down horizontal movements\n");
    std::printf("  -sy slows down vertical movements\n");
    std::printf("  -sxy slows down all movements\n");
    std::printf("      Default is -sy.\n");
    std::printf("  -c#:# sets the center of the spiral. Should be between 0:0 and\n");
    std::printf("      %d:%d (default -c%d:%d).\n", 639, 479, kDefaultCentreX, kDefaultCentreY);
    std::printf("  -r reverses the direction of rotation.\n");
}

// Removes every argument that starts with "-" and the letter from the list; the text after
// the two characters of the last one is the value. Null when the option is absent.
const char* takeOption(std::vector<const char*>& args, char letter) {
    const char* value = nullptr;
    for (size_t i = 0; i < args.size();) {
        if (args[i][0] == '-' && args[i][1] == letter) {
            value = args[i] + 2;
            args.erase(args.begin() + long(i));
        } else {
            ++i;
        }
    }
    return value;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> args(argv + 1, argv + argc);
    const char* slow = takeOption(args, 's');
    const char* centre = takeOption(args, 'c');
    const char* reverseOption = takeOption(args, 'r');
    if (args.empty() || args.size() > 4) {
        printUsage(argv[0]);
        return 1;
    }

    const bool slowX = slow && std::strchr(slow, 'x');
    const bool slowY = slow ? std::strchr(slow, 'y') != nullptr : true;
    int cx = kDefaultCentreX, cy = kDefaultCentreY;
    if (centre) {
        cx = readIntArgument(centre);
        if (const char* colon = std::strchr(centre, ':')) cy = readIntArgument(colon + 1);
    }
    cx = clampArgument(cx, 0, 639);
    cy = clampArgument(cy, 0, 479);
    const bool reverse = reverseOption != nullptr;

    const char* path = args[0];
    const int speed =
        clampArgument(args.size() > 1 ? readIntArgument(args[1]) : kDefaultSpeed, 30, 300);
    const int randomness =
        clampArgument(args.size() > 2 ? readIntArgument(args[2]) : kDefaultRandomness, 0, 100);
    const int blend =
        clampArgument(args.size() > 3 ? readIntArgument(args[3]) : kDefaultBlend, 0, 255);

    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::printf("*** Failed to create output file %s\n", path);
        return 2;
    }
    std::printf("Generating table %s with speed=%d and Randomness=%d around %d:%d\n", path, speed,
                randomness, cx, cy);

    for (int y = 0; y < kGridHeight; ++y) {
        std::printf("Generating line %d of %d...\r", y + 1, kGridHeight);
        std::fflush(stdout); // a console shows the progress as it goes
        const int dy = y - cy;
        for (int x = 0; x < kGridWidth; ++x) {
            int s = speed;
            if (randomness > 0) {
                const int g = randomBelow(randomness + 1);
                s = speed * (g - randomness / 3 + 100) / 100;
            }
            const int dx = x - cx;
            int slowedX = dx, slowedY = dy;
            if (slowX || slowY) {
                const int d = dx * dx + dy * dy + 1;
                if (slowY) slowedX = (dx * 2500) / d;
                if (slowX) slowedY = (dy * 2500) / d;
            }
            if (reverse) s = -s;
            int sx = x + (s * slowedY) / 700;
            int sy = y - (s * slowedX) / 700;
            if (sy < 0) sy += 480 * ((479 - sy) / 480);
            sy %= 480;
            if (sx < 0) sx += 640 * ((639 - sx) / 640);
            sx %= 640;
            const uint32_t record = uint32_t(sy * kGridWidth + sx) + (uint32_t(blend) << 24);
            if (!writeTranslationRecord(file, record)) return failWriting(file);
        }
    }
    if (std::fclose(file) != 0) return failWriting(nullptr); // the last buffered bytes were lost
    std::printf("Done.%26s\n", "");
    return 0;
}
