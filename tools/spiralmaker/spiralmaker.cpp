// spiralmaker: writes a translation table made of up to 64 spirals. Every pixel turns about
// its nearest spiral centre by a small angle and moves a little along the radius, with a
// little randomness per pixel. The random source is seeded from the clock, so every run
// gives a new table.
#include "base/random.h"
#include "tool_common.h"
#include "media/translation_table.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kMaxSpirals = 64;
constexpr int kDefaultSpirals = 1;
constexpr double kDefaultDeltaR = 2.0;
constexpr double kDefaultDeltaA = 0.1;
constexpr double kDefaultBandWidth = 10.0;

void printUsage() {
    std::printf("Spiralmaker usage:\n"
                "\tspiralmaker tabname.tab [-]<#spirals> <yywidth> <(float)delta_r> "
                "<(float)delta_a>\n"
                "\tIf the first parameter starts with a '-' then the direction of rotation\n"
                "\tchanges with the radius.\n"
                "\t#spirals: number of spirals (0 for one centered spiral) (def: %d)\n"
                "\tyywidth:  Width of section of constant direction (if changing dir.)\n"
                "\tdelta_r:  change of radius (0 -> simple rotation) (def: %f)\n"
                "\tdelta_a:  change of angle (def: %f)\n",
                kDefaultSpirals, kDefaultDeltaR, kDefaultDeltaA);
}

uint32_t startSeed() {
#ifdef QUORBEL_TOOL_TEST_BUILD
    // Test builds only: a fixed seed makes the random part of the table checkable.
    if (const char* seed = std::getenv("QUORBEL_SPIRALMAKER_SEED"))
        return uint32_t(std::strtoul(seed, nullptr, 10));
#endif
    return uint32_t(std::time(nullptr));
}

struct Spirals {
    int count = kDefaultSpirals;
    int cx[kMaxSpirals] = {};
    int cy[kMaxSpirals] = {};
    int dir[kMaxSpirals] = {};

    void drawRandom(int n) {
        count = n < 2 ? 1 : (n > kMaxSpirals ? kMaxSpirals : n);
        for (int i = 0; i < count; ++i) {
            cx[i] = randomNext() % 640;
            cy[i] = randomNext() % 480;
            dir[i] = randomNext() % 5 - 2;
        }
    }
    void centred() {
        count = 1;
        cx[0] = 320;
        cy[0] = 240;
        dir[0] = 1;
    }
    int nearest(int x, int y) const {
        double best = 9999999.0;
        int found = 0;
        for (int j = 0; j < count; ++j) {
            const double ddx = x - cx[j];
            const double ddy = y - cy[j];
            const double distance = std::sqrt(ddx * ddx + ddy * ddy);
            if (distance < best) {
                best = distance;
                found = j;
            }
        }
        return found;
    }
};

struct Parameters {
    bool alternate = false; // the "-" prefix: direction alternates with the radius
    double bandWidth = kDefaultBandWidth;
    double deltaR = kDefaultDeltaR;
    double deltaA = kDefaultDeltaA;
};

uint32_t spiralRecord(const Spirals& spirals, const Parameters& p, int x, int y) {
    const int j = spirals.nearest(x, y);
    const int cx = spirals.cx[j];
    const int cy = spirals.cy[j];
    if (x == cx && y == cy) return 0;
    const int dir = spirals.dir[j];
    const double dx = x - cx;
    const double dy = y - cy;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double a = std::atan2(dx, dy);

    const int m = randomBelow(10);
    double radius = r + dir * (p.deltaR + 0.01 * m);
    if (radius < 0) radius = 0;
    double angle;
    if (!p.alternate) {
        const int m2 = randomBelow(10);
        angle = a + dir * (p.deltaA + 0.01 * m2);
    } else {
        const int k = 5 - truncateToInt(radius * 0.09090909090909091) % 11;
        angle = a - (k * p.deltaA) * 0.6000000000000001;
        const int band = truncateToInt(radius / p.bandWidth);
        if (band % 2 != 0)
            angle = angle + p.deltaA;
        else
            angle = angle - p.deltaA;
    }
    int col = truncateToInt(radius * std::sin(angle) + cx);
    int row = truncateToInt(radius * std::cos(angle) + cy);
    if (row >= 480 || row < 0 || col >= 640 || col < 0) row = col = 0;
    return uint32_t(row * kGridWidth + col) + (8u << 24);
}

} // namespace

int main(int argc, char** argv) {
    randomSeed(startSeed());
    if (argc < 2) {
        printUsage();
        return 1;
    }
    const char* path = argv[1];

    Spirals spirals;
    Parameters p;
    if (argc > 2) {
        const char* text = argv[2];
        p.alternate = text[0] == '-';
        const int n = readIntArgument(p.alternate ? text + 1 : text);
        if (n == 0)
            spirals.centred();
        else
            spirals.drawRandom(n);
    } else {
        // No count given: the documented default of one spiral, drawn as "1" draws it.
        spirals.drawRandom(kDefaultSpirals);
    }
    int next = 3;
    if (p.alternate && argc > next) p.bandWidth = readDoubleArgument(argv[next++]);
    if (argc > next) p.deltaR = readDoubleArgument(argv[next++]);
    if (argc > next) p.deltaA = readDoubleArgument(argv[next++]);

    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::printf("*** Failed to create output file %s\n", path);
        return 2;
    }
    if (p.alternate)
        std::printf("Writing mapping table: %s\n  #spirals: %d  yywidth: %f  delta_a: %f  "
                    "delta_r: %f\n",
                    path, spirals.count, p.bandWidth, p.deltaA, p.deltaR);
    else
        std::printf("Writing mapping table: %s\n  #spirals: %d  delta_a: %f  delta_r: %f\n", path,
                    spirals.count, p.deltaA, p.deltaR);

    for (int y = 0; y < kGridHeight; ++y) {
        std::printf("%3d/%3d \r", y + 1, kGridHeight);
        std::fflush(stdout); // a console shows the progress as it goes
        for (int x = 0; x < kGridWidth; ++x)
            if (!writeTranslationRecord(file, spiralRecord(spirals, p, x, y)))
                return failWriting(file);
    }
    if (std::fclose(file) != 0) return failWriting(nullptr); // the last buffered bytes were lost
    return 0;
}
