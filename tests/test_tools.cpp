// The three table tools, run as processes, and their shared command-line helpers.
#include "media/builtin_tables.h"
#include "table_test_files.h"
#include "tool_common.h"
#include "media/translation_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <vector>

TEST(ToolArguments, IntegersReadLikeTheCommandLineSays) {
    EXPECT_EQ(readIntArgument("  \t-17xyz"), -17);
    EXPECT_EQ(readIntArgument("+8"), 8);
    EXPECT_EQ(readIntArgument("12:34"), 12);
    EXPECT_EQ(readIntArgument("abc"), 0);
    EXPECT_EQ(readIntArgument("0x10"), 0);
    EXPECT_EQ(readIntArgument("99999999999999999999"), INT_MAX);
    EXPECT_EQ(readIntArgument("-99999999999999999999"), INT_MIN);
}

TEST(ToolArguments, DecimalsWithFractionAndExponentOnly) {
    EXPECT_DOUBLE_EQ(readDoubleArgument(" -0.125rad"), -0.125);
    EXPECT_DOUBLE_EQ(readDoubleArgument(".5"), 0.5);
    EXPECT_DOUBLE_EQ(readDoubleArgument("1.5E-1x"), 0.15);
    EXPECT_DOUBLE_EQ(readDoubleArgument("7e+"), 7.0);
    EXPECT_EQ(readDoubleArgument("0.1"), 0.1);
    // No spelled-out or hexadecimal forms: every build reads the same value.
    EXPECT_EQ(readDoubleArgument("inf"), 0.0);
    EXPECT_EQ(readDoubleArgument("nan"), 0.0);
    EXPECT_EQ(readDoubleArgument("0x1p3"), 0.0);
    EXPECT_EQ(readDoubleArgument("-."), 0.0);
}

TEST(ToolArguments, ProgramNameIsTheLastPathPart) {
    EXPECT_STREQ(programName("C:\\Program Files\\Quorbel\\hurricanemaker.exe"),
                 "hurricanemaker.exe");
    EXPECT_STREQ(programName("/usr/local/bin/hurricanemaker"), "hurricanemaker");
    EXPECT_STREQ(programName("tools/x\\y/spaceflightmaker"), "spaceflightmaker");
    EXPECT_STREQ(programName("spaceflightmaker"), "spaceflightmaker");
}

TEST(ToolArguments, TruncationIsDefinedForEveryValue) {
    EXPECT_EQ(truncateToInt(-2.99), -2);
    EXPECT_EQ(truncateToInt(2147483647.5), INT_MAX);
    EXPECT_EQ(truncateToInt(2147483648.0), INT_MIN);
    EXPECT_EQ(truncateToInt(INFINITY), INT_MIN);
    EXPECT_EQ(truncateToInt(NAN), INT_MIN);
}

#ifdef QUORBEL_SPACEFLIGHTMAKER

namespace {

struct ToolRun {
    int status;
    std::string out;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a tool through the shell; environment is a prefix such as "NAME=value ".
ToolRun run(const std::string& tool, const std::vector<std::string>& args,
            const std::string& environment = "") {
    std::string command = environment + quoted(tool);
    for (const auto& a : args) command += " " + quoted(a);
    command += " 2>&1";
    ToolRun result{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

const std::string kSpiral = QUORBEL_SPIRALMAKER;
const std::string kSpiralSeeded = QUORBEL_SPIRALMAKER_SEEDED;
const std::string kHurricane = QUORBEL_HURRICANEMAKER;
const std::string kSpace = QUORBEL_SPACEFLIGHTMAKER;

std::string progressLines(const char* format) {
    std::string s;
    char line[64];
    for (int y = 1; y <= 480; ++y) {
        std::snprintf(line, sizeof line, format, y, 480);
        s += line;
    }
    return s;
}

const std::string kDone = "Done." + std::string(26, ' ') + "\n";

const std::string kHurricaneUsage =
    "Hurricane table generator for QUORBEL-4-Winamp.\n"
    "The generated table looks like a sattelite view of a hurricane or\n"
    "Jupiter's red spot.\n"
    "\n"
    "Usage:  hurricanemaker [-s[x][y]] [-c#:#] [-r] outfile.tab [speed [Randomness [Blend]]]\n"
    "  Speed should be 30..300 (default 100)\n"
    "  Randomness should be 0..100 (default 70)\n"
    "  Blend should be 0..255 (default 8)\n"
    "  -sx slows down horizontal movements\n"
    "  -sy slows down vertical movements\n"
    "  -sxy slows down all movements\n"
    "      Default is -sy.\n"
    "  -c#:# sets the center of the spiral. Should be between 0:0 and\n"
    "      639:479 (default -c213:230).\n"
    "  -r reverses the direction of rotation.\n";

const std::string kSpaceUsage =
    "\"Space flight\" table generator for Quorbel-4-Winamp.\n"
    "The generated table creates an effect of flying forward through a\n"
    "3-D space.\n"
    "\n"
    "Usage:  spaceflightmaker outfile.tab [speed] [Randomness] [Blend] ['r']\n"
    "  Speed should be 30..300 (default 100)\n"
    "  Randomness should be 0..100 (default 70)\n"
    "  Blend should be 0..255 (default 8)\n"
    "  Adding a fifth argument will create a backward movement.\n";

const std::string kSpiralUsage =
    "Spiralmaker usage:\n"
    "\tspiralmaker tabname.tab [-]<#spirals> <yywidth> <(float)delta_r> <(float)delta_a>\n"
    "\tIf the first parameter starts with a '-' then the direction of rotation\n"
    "\tchanges with the radius.\n"
    "\t#spirals: number of spirals (0 for one centered spiral) (def: 1)\n"
    "\tyywidth:  Width of section of constant direction (if changing dir.)\n"
    "\tdelta_r:  change of radius (0 -> simple rotation) (def: 2.000000)\n"
    "\tdelta_a:  change of angle (def: 0.100000)\n";

uint32_t rec(int x, int y, uint32_t blend = 8) {
    return gridIndex(x, y) + (blend << 24);
}

// The first line a generating tool prints.
std::string firstLine(const std::string& out) {
    return out.substr(0, out.find('\n') + 1);
}

} // namespace

TEST(ToolProcesses, UsageAndStatusOneForWrongArgumentCounts) {
    ToolRun r = run(kHurricane, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kHurricaneUsage);
    // Options alone leave no positional argument; five positionals are too many.
    EXPECT_EQ(run(kHurricane, {"-sx", "-c1:2", "-r"}).out, kHurricaneUsage);
    r = run(kHurricane, {"-r", "a.tab", "1", "2", "3", "4"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kHurricaneUsage);

    r = run(kSpace, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kSpaceUsage);
    r = run(kSpace, {"a.tab", "1", "2", "3", "4", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kSpaceUsage);

    r = run(kSpiral, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kSpiralUsage);
}

TEST(ToolProcesses, StatusTwoWhenTheFileCannotBeCreated) {
    const std::string bad = "/nonexistent_quorbel_folder/out.tab";
    const std::string message = "*** Failed to create output file " + bad + "\n";
    for (const std::string& tool : {kHurricane, kSpace, kSpiral}) {
        const ToolRun r = run(tool, {bad});
        EXPECT_EQ(r.status, 2) << tool;
        EXPECT_EQ(r.out, message) << tool;
    }
}

TEST(ToolProcesses, StatusThreeWhenAWriteFails) {
    const std::string message = "\n*** Error while writing to output file (disk full?)\n";
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
        {kHurricane, {"/dev/full"}}, {kSpace, {"/dev/full"}}, {kSpiral, {"/dev/full", "3"}}};
    for (const auto& [tool, arguments] : runs) {
        const ToolRun r = run(tool, arguments);
        EXPECT_EQ(r.status, 3) << tool;
        ASSERT_GE(r.out.size(), message.size());
        EXPECT_EQ(r.out.substr(r.out.size() - message.size()), message) << tool;
    }
}

TEST(SpaceflightmakerProcess, DefaultsGiveTheBuiltInSpaceTableOnEveryRun) {
    TempFolder folder;
    const ToolRun r = run(kSpace, {folder.file("a.tab")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Generating table " + folder.file("a.tab") +
                         " with speed=100 and Randomness=70\n" +
                         progressLines("Generating line %d of %d...\r") + kDone);
    EXPECT_EQ(run(kSpace, {folder.file("b.tab")}).status, 0);
    // A thread's random state starts at 1, as the tool's does.
    std::thread([&] { generateSpaceTable(folder.file("space.tab")); }).join();
    const auto a = readBytes(folder.file("a.tab"));
    EXPECT_EQ(a.size(), size_t(kTableFileBytes));
    EXPECT_TRUE(a == readBytes(folder.file("b.tab")));
    EXPECT_TRUE(a == readBytes(folder.file("space.tab")));
}

TEST(SpaceflightmakerProcess, BlendKeepsItsLowEightBits) {
    TempFolder folder;
    ASSERT_EQ(run(kSpace, {folder.file("a.tab"), "100", "70", "264"}).status, 0);
    ASSERT_EQ(run(kSpace, {folder.file("b.tab"), "100", "70", "-1"}).status, 0);
    for (uint32_t e : readRecords(folder.file("a.tab"))) ASSERT_EQ(entryBlend(e), 8u);
    for (uint32_t e : readRecords(folder.file("b.tab"))) ASSERT_EQ(entryBlend(e), 255u);
}

TEST(SpaceflightmakerProcess, ClampsAndWithoutRandomnessFollowsTheFormula) {
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    ToolRun r = run(kSpace, {p, "10", "-3"});
    EXPECT_EQ(firstLine(r.out), "Generating table " + p + " with speed=30 and Randomness=0\n");
    r = run(kSpace, {p, "1000", "500"});
    EXPECT_EQ(firstLine(r.out), "Generating table " + p + " with speed=300 and Randomness=100\n");
    ASSERT_EQ(run(kSpace, {p, "100", "0"}).status, 0);
    const auto records = readRecords(p);
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5) {
            const int dx = x - 320, dy = y - 240;
            if (std::abs(dx) < 30 && std::abs(dy) < 20) continue; // where stars are born
            int sx = x - (100 * dx) / 700, sy = y - (100 * dy) / 700;
            ASSERT_EQ(records[gridIndex(x, y)], rec(sx, sy)) << x << "," << y;
        }
}

TEST(SpaceflightmakerProcess, FifthArgumentReverses) {
    TempFolder folder;
    const std::string p = folder.file("r.tab");
    const ToolRun r = run(kSpace, {p, "100", "0", "8", "0"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(firstLine(r.out),
              "Generating table " + p + " with reverse speed=100 and Randomness=0\n");
    const auto records = readRecords(p);
    EXPECT_EQ(records[gridIndex(320, 240)], rec(320, 240)); // no star is born
    EXPECT_EQ(records[gridIndex(330, 245)], rec(331, 245)); // 330 + 100 * 10 / 700
    EXPECT_EQ(records[gridIndex(0, 0)], rec(0, 0));         // source off the grid
    EXPECT_EQ(records[gridIndex(639, 479)], rec(0, 0));
}

TEST(HurricanemakerProcess, DefaultsAreStableAndMatchTheSpelledOutArguments) {
    TempFolder folder;
    const ToolRun r = run(kHurricane, {folder.file("a.tab")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Generating table " + folder.file("a.tab") +
                         " with speed=100 and Randomness=70 around 213:230\n" +
                         progressLines("Generating line %d of %d...\r") + kDone);
    ASSERT_EQ(run(kHurricane, {folder.file("b.tab")}).status, 0);
    ASSERT_EQ(run(kHurricane, {"-sy", folder.file("c.tab"), "100", "70", "8", "-c213:230"}).status,
              0);
    const auto a = readBytes(folder.file("a.tab"));
    EXPECT_EQ(a.size(), size_t(kTableFileBytes));
    EXPECT_TRUE(a == readBytes(folder.file("b.tab")));
    EXPECT_TRUE(a == readBytes(folder.file("c.tab")));
}

TEST(HurricanemakerProcess, MatchesTheBuiltInHurricaneTable) {
    TempFolder folder;
    ASSERT_EQ(run(kHurricane, {folder.file("a.tab"), "50", "50", "8", "-c213:320"}).status, 0);
    std::thread([&] { generateHurricaneTable(folder.file("huricane.tab")); }).join();
    EXPECT_TRUE(readBytes(folder.file("a.tab")) == readBytes(folder.file("huricane.tab")));
}

TEST(HurricanemakerProcess, ClampsCentreSpeedRandomnessAndBlend) {
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    auto header = [&](const std::vector<std::string>& args) {
        return firstLine(run(kHurricane, args).out);
    };
    const std::string start = "Generating table " + p + " with ";
    EXPECT_EQ(header({p, "-c700:900"}), start + "speed=100 and Randomness=70 around 639:479\n");
    EXPECT_EQ(header({"-c100", p}), start + "speed=100 and Randomness=70 around 100:230\n");
    EXPECT_EQ(header({p, "-c-5:10"}), start + "speed=100 and Randomness=70 around 0:10\n");
    EXPECT_EQ(header({"-c1:1", p, "-c2:3"}), start + "speed=100 and Randomness=70 around 2:3\n");
    EXPECT_EQ(header({p, "10"}), start + "speed=30 and Randomness=70 around 213:230\n");
    EXPECT_EQ(header({p, "1000"}), start + "speed=300 and Randomness=70 around 213:230\n");
    EXPECT_EQ(header({p, "abc", "-3"}), start + "speed=30 and Randomness=0 around 213:230\n");

    ASSERT_EQ(run(kHurricane, {p, "100", "0", "300"}).status, 0);
    for (uint32_t e : readRecords(p)) ASSERT_EQ(entryBlend(e), 255u);
}

TEST(HurricanemakerProcess, NoRandomnessDrawsNothingAndSlowsOnlyVertically) {
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    ASSERT_EQ(run(kHurricane, {p, "100", "-3", "8"}).status, 0);
    const auto records = readRecords(p);
    // s is exactly the speed everywhere: no random number took part.
    for (int y = 0; y < 480; y += 3)
        for (int x = 0; x < 640; x += 3) {
            const int dx = x - 213, dy = y - 230;
            const int slowedX = dx * 2500 / (dx * dx + dy * dy + 1);
            int sx = x + 100 * dy / 700, sy = y - 100 * slowedX / 700;
            sx = (sx % 640 + 640) % 640;
            sy = (sy % 480 + 480) % 480;
            ASSERT_EQ(records[gridIndex(x, y)], rec(sx, sy)) << x << "," << y;
        }
    // At the eye d = 1 and nothing moves.
    EXPECT_EQ(records[gridIndex(213, 230)], rec(213, 230));
}

TEST(HurricanemakerProcess, PlainSlowsNothingAndRowsWrap) {
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    ASSERT_EQ(run(kHurricane, {"-s", p, "300", "0", "8", "-c0:0"}).status, 0);
    const auto records = readRecords(p);
    for (int y = 0; y < 480; y += 3)
        for (int x = 0; x < 640; x += 3) {
            int sx = x + 300 * y / 700, sy = y - 300 * x / 700;
            sx = (sx % 640 + 640) % 640;
            sy = (sy % 480 + 480) % 480;
            ASSERT_EQ(records[gridIndex(x, y)], rec(sx, sy)) << x << "," << y;
        }
    // A source computed at row -1 wraps to row 479, at column -1 to column 639.
    EXPECT_EQ(records[gridIndex(3, 0)], rec(3, 479));
    // -r turns the other way: the same pixel now looks one row down.
    ASSERT_EQ(run(kHurricane, {"-s", "-r", p, "300", "0", "8", "-c0:0"}).status, 0);
    EXPECT_EQ(readRecords(p)[gridIndex(3, 0)], rec(3, 1));
}

namespace {

// The tools' random source.
struct Lcg {
    uint32_t state;
    int next() {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }
    int below(int n) { return n <= 0 ? 0 : next() % n; }
};

int truncated(double v) {
    return truncateToInt(v);
}

// What spiralmaker must write for a seed, drawing the random numbers in the documented order.
std::vector<uint32_t> expectedSpiral(uint32_t seed, int spiralsArgument, bool alternate,
                                     double bandWidth, double deltaR, double deltaA) {
    Lcg lcg{seed};
    std::vector<int> cx, cy, dir;
    if (spiralsArgument == 0) {
        cx = {320}, cy = {240}, dir = {1};
    } else {
        const int n = spiralsArgument < 2 ? 1 : std::min(spiralsArgument, 64);
        for (int i = 0; i < n; ++i) {
            cx.push_back(lcg.next() % 640);
            cy.push_back(lcg.next() % 480);
            dir.push_back(lcg.next() % 5 - 2);
        }
    }
    std::vector<uint32_t> out;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            size_t j = 0;
            double best = 9999999.0;
            for (size_t i = 0; i < cx.size(); ++i) {
                const double d =
                    std::sqrt(double((x - cx[i]) * (x - cx[i]) + (y - cy[i]) * (y - cy[i])));
                if (d < best) best = d, j = i;
            }
            if (x == cx[j] && y == cy[j]) {
                out.push_back(0);
                continue;
            }
            const double dx = x - cx[j], dy = y - cy[j];
            const double a = std::atan2(dx, dy);
            double radius = std::sqrt(dx * dx + dy * dy) + dir[j] * (deltaR + 0.01 * lcg.below(10));
            if (radius < 0) radius = 0;
            double angle;
            if (!alternate) {
                angle = a + dir[j] * (deltaA + 0.01 * lcg.below(10));
            } else {
                const int k = 5 - truncated(radius * 0.09090909090909091) % 11;
                angle = a - (k * deltaA) * 0.6000000000000001;
                const bool odd = bandWidth != 0 && truncated(radius / bandWidth) % 2 != 0;
                angle += odd ? deltaA : -deltaA;
            }
            int col = truncated(radius * std::sin(angle) + cx[j]);
            int row = truncated(radius * std::cos(angle) + cy[j]);
            if (row >= 480 || row < 0 || col >= 640 || col < 0) row = col = 0;
            out.push_back(rec(col, row));
        }
    return out;
}

int mismatches(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return n;
}

std::string seedVariable(uint32_t seed) {
    return "QUORBEL_SPIRALMAKER_SEED=" + std::to_string(seed) + " ";
}

} // namespace

TEST(SpiralmakerProcess, CentredSpiralWithoutDeltasOnlyTurnsByItsRandomPart) {
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    const ToolRun r = run(kSpiralSeeded, {p, "0", "0", "0"}, seedVariable(4242));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Writing mapping table: " + p +
                         "\n  #spirals: 1  delta_a: 0.000000  delta_r: 0.000000\n" +
                         progressLines("%3d/%3d \r"));
    const auto records = readRecords(p);
    ASSERT_EQ(records.size(), size_t(kGridPixels));
    EXPECT_EQ(records[gridIndex(320, 240)], 0u);
    EXPECT_EQ(mismatches(records, expectedSpiral(4242, 0, false, 10, 0, 0)), 0);
}

TEST(SpiralmakerProcess, RandomNumbersAreConsumedInOrder) {
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    // Three per spiral first, then two per pixel (none at a centre).
    ASSERT_EQ(run(kSpiralSeeded, {p, "5", "2.0", "0.1"}, seedVariable(7)).status, 0);
    EXPECT_EQ(mismatches(readRecords(p), expectedSpiral(7, 5, false, 10, 2.0, 0.1)), 0);
    // With the "-" prefix one per pixel, and the band width read first.
    const ToolRun r = run(kSpiralSeeded, {p, "-3", "12.5", "1.5", "0.05"}, seedVariable(99));
    EXPECT_EQ(firstLine(r.out.substr(r.out.find('\n') + 1)),
              "  #spirals: 3  yywidth: 12.500000  delta_a: 0.050000  delta_r: 1.500000\n");
    EXPECT_EQ(mismatches(readRecords(p), expectedSpiral(99, 3, true, 12.5, 1.5, 0.05)), 0);
    // Band width 0: every band is even.
    ASSERT_EQ(run(kSpiralSeeded, {p, "-0", "0", "0", "0.1"}, seedVariable(3)).status, 0);
    EXPECT_EQ(mismatches(readRecords(p), expectedSpiral(3, 0, true, 0, 0, 0.1)), 0);
    // Clamping: 100 spirals are 64, -1 and 1 are one random spiral.
    const ToolRun many = run(kSpiralSeeded, {p, "100"}, seedVariable(5));
    EXPECT_NE(many.out.find("#spirals: 64  delta_a: 0.100000  delta_r: 2.000000\n"),
              std::string::npos);
    EXPECT_EQ(mismatches(readRecords(p), expectedSpiral(5, 64, false, 10, 2.0, 0.1)), 0);
    ASSERT_EQ(run(kSpiralSeeded, {p, "-1"}, seedVariable(11)).status, 0);
    EXPECT_EQ(mismatches(readRecords(p), expectedSpiral(11, 1, true, 10, 2.0, 0.1)), 0);
    // Only the file name: the default of one random spiral, as "1".
    ASSERT_EQ(run(kSpiralSeeded, {p}, seedVariable(11)).status, 0);
    EXPECT_EQ(mismatches(readRecords(p), expectedSpiral(11, 1, false, 10, 2.0, 0.1)), 0);
}

TEST(SpiralmakerProcess, DirectionZeroLeavesPixelsInPlace) {
    // Find a seed whose single spiral gets dir 0 (third number % 5 == 2).
    uint32_t seed = 1;
    for (;; ++seed) {
        Lcg l{seed};
        l.next(), l.next();
        if (l.next() % 5 == 2) break;
    }
    TempFolder folder;
    const std::string p = folder.file("a.tab");
    ASSERT_EQ(run(kSpiralSeeded, {p, "1", "2.0", "0.1"}, seedVariable(seed)).status, 0);
    const auto records = readRecords(p);
    ASSERT_EQ(records.size(), size_t(kGridPixels));
    int exact = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint32_t e = records[gridIndex(x, y)];
            if (e == 0) continue; // the centre
            const int sx = int(entrySourceIndex(e) % 640), sy = int(entrySourceIndex(e) / 640);
            // Radius and angle are unchanged; only truncation can shift a pixel by one.
            ASSERT_LE(std::abs(sx - x), 1) << x << "," << y;
            ASSERT_LE(std::abs(sy - y), 1) << x << "," << y;
            exact += sx == x && sy == y;
        }
    EXPECT_GT(exact, kGridPixels / 2);
}

#endif
