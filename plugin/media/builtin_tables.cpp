#include "media/builtin_tables.h"

#include "base/paths.h"
#include "base/random.h"
#include "media/translation_table.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

// These tables must come out byte for byte the same from the native build and the Windows
// build: the float/double choices below are deliberate (the build uses SSE arithmetic without
// contraction on both), and integer division truncates toward zero.
namespace {

constexpr float kHalfPiF = 1.57079637f;
constexpr float kPiF = 3.14159274f;
constexpr float kQuarterPiF = 0.785398185f;
constexpr double kPiD = 3.141592653589793;

constexpr uint32_t kBlend8 = 8u << 24;
constexpr uint32_t kBlend12 = 12u << 24;

// Writes the records of one generator row by row. A failed write ends the current row.
class RecordFile {
  public:
    explicit RecordFile(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
    ~RecordFile() {
        if (file_) std::fclose(file_);
    }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    explicit operator bool() const { return file_ != nullptr; }
    bool write(uint32_t record) { return writeTranslationRecord(file_, record); }
    std::FILE* get() const { return file_; }

  private:
    std::FILE* file_;
};

uint32_t spaceRecord(int x, int y) {
    const int dx = x - 320;
    const int dy = y - 240;
    int sx, sy;
    if (std::abs(dx) < 30 && std::abs(dy) < 20 && randomBelow(std::abs(dx) + std::abs(dy)) < 4) {
        sx = randomBelow(640);
        sy = randomBelow(480);
    } else {
        const int k = randomBelow(71) + 77;
        sx = x - (k * dx) / 700;
        sy = y - (k * dy) / 700;
    }
    if (sy > 479 || sy < 0 || sx > 639 || sx < 0) sx = sy = 0;
    return uint32_t(sy * kGridWidth + sx) + kBlend8;
}

uint32_t hurricaneRecord(int x, int y) {
    const int k = (randomBelow(51) + 84) * 50 / 100;
    const int dx = x - 213;
    const int dy = y - 320;
    const int q = (dx * 2500) / (dx * dx + dy * dy + 1);
    int sx = x + (k * dy) / 700;
    int sy = y - (k * q) / 700;
    sy %= kGridHeight;
    if (sy < 0) sy += kGridHeight;
    sx %= kGridWidth;
    if (sx < 0) sx += kGridWidth;
    return uint32_t(sy * kGridWidth + sx) + kBlend8;
}

// The three rotations share one shape: a centre, the row threshold below which column
// centreX turns the other way, how pi is added left of the centre, an optional quarter turn
// and the big wheel's rule for far pixels.
struct Rotation {
    int centreX;
    int centreY;
    int threshold;    // compared with t = centreY - y
    bool doublePi;    // add pi in double precision (the sum is still held in single)
    bool quarterTurn; // subtract pi/4 (single) from every angle
    bool farRule;     // r >= 480: rowOff 0, colOff 3 toward the centre column
    uint32_t blend;
};

constexpr Rotation kRotate{320, 240, -80, false, false, false, kBlend8};
constexpr Rotation kSpiralDown{320, 240, -80, true, true, false, kBlend12};
constexpr Rotation kBigWheel{256, 0, -256, true, false, true, kBlend8};

uint32_t rotationRecord(const Rotation& shape, int x, int y) {
    const int t = shape.centreY - y;
    int colOff, rowOff;
    if (y == 0) {
        colOff = int(0.75 * (shape.centreX - x));
        rowOff = shape.centreY;
    } else {
        const int dx = x - shape.centreX;
        const int dy = y - shape.centreY;
        const int r = int(std::sqrt(double(dx * dx + dy * dy)));
        float theta;
        if (dx == 0)
            theta = t < shape.threshold ? kHalfPiF : -kHalfPiF;
        else
            theta = float(std::atan(double(dy) / double(dx)));
        if (x < shape.centreX) {
            if (shape.doublePi)
                theta = float(double(theta) + kPiD);
            else
                theta = theta + kPiF;
        }
        if (shape.quarterTurn) theta = theta - kQuarterPiF;
        if (shape.farRule && r >= 480) {
            rowOff = 0;
            colOff = x < shape.centreX ? 3 : -3;
        } else {
            colOff = int(std::ceil(-0.1 * r * std::sin(double(theta))));
            rowOff = int(std::ceil(0.1 * r * std::cos(double(theta))));
        }
        if (x == 0) {
            colOff = shape.centreX;
            rowOff = int(0.75 * t);
        }
    }
    const int idx = (y + rowOff) * kGridWidth + colOff + x;
    return uint32_t(std::abs(idx) % kGridPixels) + shape.blend;
}

void writeRecordByRecord(const std::string& path, uint32_t (*record)(int, int)) {
    RecordFile file(path);
    if (!file) return;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (!file.write(record(x, y))) break;
}

void writeRotation(const std::string& path, const Rotation& shape) {
    RecordFile file(path);
    if (!file) return;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            if (!file.write(rotationRecord(shape, x, y))) break;
}

} // namespace

void generateSpaceTable(const std::string& path) {
    writeRecordByRecord(path, spaceRecord);
}

void generateRotateTable(const std::string& path) {
    writeRotation(path, kRotate);
}

void generateSpiralDownTable(const std::string& path) {
    uint32_t* grid = static_cast<uint32_t*>(std::calloc(kGridPixels, sizeof(uint32_t)));
    if (!grid) return;
    for (int y = 0; y < kGridHeight; ++y)
        for (int x = 0; x < kGridWidth; ++x)
            grid[y * kGridWidth + x] = rotationRecord(kSpiralDown, x, y);
    {
        RecordFile file(path);
        if (file) {
            // Write results are not looked at: a row that fails is simply short.
            for (int y = 0; y < kGridHeight; ++y)
                writeTranslationRecords(file.get(), grid + y * kGridWidth, kGridWidth);
        }
    }
    std::free(grid);
}

void generateHurricaneTable(const std::string& path) {
    writeRecordByRecord(path, hurricaneRecord);
}

void generateBigWheelTable(const std::string& path) {
    writeRotation(path, kBigWheel);
}

const char* builtInTableName(int order, bool firstRun) {
    switch (order) {
    case 0:
        return "space.tab";
    case 1:
        return "rotate.tab";
    case 2:
        return firstRun ? "down_spiral.tab" : "smoke.tab";
    case 3:
        return "huricane.tab";
    case 4:
        return "big_wheel.tab";
    default:
        return nullptr;
    }
}

void generateBuiltInTables(const std::string& tabsFolder, bool firstRun,
                           void (*progress)(int position, void* context), void* context) {
    static void (*const generators[kBuiltInTableCount])(const std::string&) = {
        generateSpaceTable, generateRotateTable, generateSpiralDownTable, generateHurricaneTable,
        generateBigWheelTable};
    std::string folder = tabsFolder;
    if (!folder.empty() && folder.back() != '/' && folder.back() != kPathSeparator)
        folder += kPathSeparator;
    for (int i = 0; i < kBuiltInTableCount; ++i) {
        generators[i](folder + builtInTableName(i, firstRun));
        if (progress) progress(i + 1, context);
    }
}
