// spaceflightmaker: writes a translation table that flies forward through 3-D space: every
// pixel streams outward from the screen centre and new stars are born near it. A fifth
// argument reverses the flow. The random source is never seeded, so the same arguments always
// give the same file; with the defaults it is the plug-in's built-in "space.tab".
#include "base/random.h"
#include "tool_common.h"
#include "media/translation_table.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kDefaultSpeed = 100;
constexpr int kDefaultRandomness = 70;
constexpr int kDefaultBlend = 8;

void printUsage(const char* argv0) {
    std::printf("\"Space flight\" table generator for Quorbel-4-Winamp.\n");
    std::printf("The generated table creates an effect of flying forward through a\n");
    std::printf("3-D space.\n");
    std::printf("\n");
    std::printf("Usage:  %s outfile.tab [speed] [Randomness] [Blend] ['r']\n", programName(argv0));
    std::printf("  Speed should be 30..300 (default %d)\n", kDefaultSpeed);
    std::printf("  Randomness should be 0..100 (default %d)\n", kDefaultRandomness);
    std::printf("  Blend should be 0..255 (default %d)\n", kDefaultBlend);
    std::printf("  Adding a fifth argument will create a backward movement.\n");
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc - 1;
    if (count < 1 || count > 5) {
        printUsage(argv[0]);
        return 1;
    }
    const char* path = argv[1];
    const int speed = clampArgument(count > 1 ? readIntArgument(argv[2]) : kDefaultSpeed, 30, 300);
    const int randomness =
        clampArgument(count > 2 ? readIntArgument(argv[3]) : kDefaultRandomness, 0, 100);
    const uint32_t blend = uint32_t(count > 3 ? readIntArgument(argv[4]) : kDefaultBlend) & 0xFFu;
    const bool reverse = count == 5;

    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::printf("*** Failed to create output file %s\n", path);
        return 2;
    }
    std::printf("Generating table %s with %sspeed=%d and Randomness=%d\n", path,
                reverse ? "reverse " : "", speed, randomness);

    for (int y = 0; y < kGridHeight; ++y) {
        std::printf("Generating line %d of %d...\r", y + 1, kGridHeight);
        std::fflush(stdout); // a console shows the progress as it goes
        const int dy = y - 240;
        for (int x = 0; x < kGridWidth; ++x) {
            const int dx = x - 320;
            int sx, sy;
            if (!reverse && std::abs(dx) < 30 && std::abs(dy) < 20 &&
                randomBelow(std::abs(dy) + std::abs(dx)) < 4) {
                sx = randomBelow(640);
                sy = randomBelow(480);
            } else {
                int s = speed;
                if (randomness > 0) {
                    const int g = randomBelow(randomness + 1);
                    s = speed * (g - randomness / 3 + 100) / 100;
                }
                if (reverse) s = -s;
                sx = x - (s * dx) / 700;
                sy = y - (s * dy) / 700;
            }
            if (sy >= 480 || sy < 0 || sx >= 640 || sx < 0) sx = sy = 0;
            if (!writeTranslationRecord(file, uint32_t(sy * kGridWidth + sx) + (blend << 24)))
                return failWriting(file);
        }
    }
    if (std::fclose(file) != 0) return failWriting(nullptr);
    std::printf("Done.%26s\n", "");
    return 0;
}
