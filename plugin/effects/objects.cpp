// Letter objects: the ".obj" reader and the "Objects" wave.
#include "effects/objects.h"

#include "effects/draw.h"
#include "effects/effects.h"
#include "base/paths.h"

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <new>

ObjectSegment* currentObject = nullptr;
double objectAngle = 0.0;

namespace {

// Characters kept of a line; the rest of a longer line is passed over.
constexpr int kLineLimit = 254;
// Coordinates beyond this magnitude make a line not a segment, so that the shift to 0 and the
// drawing cannot overflow.
constexpr int64_t kCoordinateLimit = 1000000000;

struct ObjectExtent {
    int segments = 0;
    int maxX = 0, maxY = 0, maxZ = 0;
};
ObjectExtent currentExtent;

// Reads the next line (without its line break) into line. False at the end of the file.
bool readLine(std::FILE* file, char (&line)[kLineLimit + 1]) {
    int length = 0, c;
    bool any = false;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (length < kLineLimit) line[length++] = static_cast<char>(c);
    }
    line[length] = '\0';
    return any;
}

inline bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* skipSpace(const char* p) {
    while (isSpace(*p)) ++p;
    return p;
}

// A decimal integer with optional white space and sign before it.
bool readNumber(const char*& p, int32_t& value) {
    p = skipSpace(p);
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > kCoordinateLimit) return false;
    }
    value = static_cast<int32_t>(negative ? -v : v);
    return true;
}

inline bool expect(const char*& p, char c) {
    if (*p != c) return false;
    ++p;
    return true;
}

// "x1,y1,z1 - x2,y2,z2"; anything after the sixth number is ignored.
bool parseSegment(const char* p, ObjectSegment& s) {
    if (!readNumber(p, s.x1) || !expect(p, ',') || !readNumber(p, s.y1) || !expect(p, ',') ||
        !readNumber(p, s.z1))
        return false;
    p = skipSpace(p);
    if (!expect(p, '-')) return false;
    return readNumber(p, s.x2) && expect(p, ',') && readNumber(p, s.y2) && expect(p, ',') &&
           readNumber(p, s.z2);
}

inline void lowerTo(int32_t v, int32_t& least) {
    if (v < least) least = v;
}
inline void raiseTo(int32_t v, int& most) {
    if (v > most) most = v;
}

// The plain letter of an accented letter of Windows code page 1252, or 0.
char plainLetter(unsigned char c) {
    static const char latin[65] = "AAAAAAACEEEEIIII"
                                  "DNOOOOO\1OUUUUY\1S"
                                  "aaaaaaaceeeeiiii"
                                  "dnooooo\1ouuuuy\1y";
    if (c >= 0xC0) return latin[c - 0xC0] == '\1' ? 0 : latin[c - 0xC0];
    switch (c) {
    case 0x8A:
        return 'S';
    case 0x8C:
        return 'O';
    case 0x8E:
        return 'Z';
    case 0x9A:
        return 's';
    case 0x9C:
        return 'o';
    case 0x9E:
        return 'z';
    case 0x9F:
        return 'Y';
    default:
        return 0;
    }
}

// The name used for a character that cannot be part of a Windows file name, or nullptr.
const char* reservedName(char c) {
    switch (c) {
    case '\\':
        return "backslash";
    case '/':
        return "slash";
    case ':':
        return "colon";
    case '*':
        return "asterisk";
    case '?':
        return "question";
    case '"':
        return "quote";
    case '<':
        return "less";
    case '>':
        return "greater";
    case '|':
        return "bar";
    default:
        return nullptr;
    }
}

inline bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline char otherCase(char c) {
    return static_cast<char>(c ^ 0x20);
}

} // namespace

std::vector<std::string> letterObjectNames(char character) {
    std::vector<std::string> names;
    const unsigned char code = static_cast<unsigned char>(character);
    if (code < 32) return names;
    if (const char* name = reservedName(character)) {
        names.push_back(std::string(name) + ".obj");
        return names;
    }
    names.push_back(std::string(1, character) + ".obj");
    const char letter = isLetter(character) ? character : plainLetter(code);
    if (letter != 0) {
        if (letter != character) names.push_back(std::string(1, letter) + ".obj");
        names.push_back(std::string(1, otherCase(letter)) + ".obj");
    }
    return names;
}

namespace {

// Reads an open object file; see loadLetterObjectFile.
bool loadFrom(std::FILE* file) {
    char line[kLineLimit + 1];

    // First pass: how many lines can be segments.
    size_t capacity = 0;
    while (readLine(file, line))
        if (line[0] != '#' && line[0] != '\0') ++capacity;
    std::rewind(file);

    ObjectSegment* segments = new (std::nothrow) ObjectSegment[capacity + 1];
    if (!segments) return false;

    // Second pass: store the segments in file order.
    size_t stored = 0;
    bool first = true, accepted = false;
    int32_t minX = INT32_MAX, minY = INT32_MAX, minZ = INT32_MAX;
    while (readLine(file, line)) {
        ObjectSegment s;
        const bool segment = line[0] != '#' && parseSegment(line, s);
        if (first) {
            accepted = line[0] == '#' || segment;
            first = false;
            if (!accepted) break;
        }
        if (!segment || stored == capacity) continue;
        lowerTo(s.x1, minX), lowerTo(s.x2, minX);
        lowerTo(s.y1, minY), lowerTo(s.y2, minY);
        lowerTo(s.z1, minZ), lowerTo(s.z2, minZ);
        segments[stored++] = s;
    }
    if (!accepted) { // a first line that is neither a comment nor a segment, or no line at all
        delete[] segments;
        return false;
    }

    ObjectExtent extent;
    extent.segments = static_cast<int>(stored < INT32_MAX ? stored : INT32_MAX);
    for (size_t i = 0; i < stored; ++i) {
        ObjectSegment& s = segments[i];
        s.x1 -= minX, s.x2 -= minX;
        s.y1 -= minY, s.y2 -= minY;
        s.z1 -= minZ, s.z2 -= minZ;
        raiseTo(s.x1, extent.maxX), raiseTo(s.x2, extent.maxX);
        raiseTo(s.y1, extent.maxY), raiseTo(s.y2, extent.maxY);
        raiseTo(s.z1, extent.maxZ), raiseTo(s.z2, extent.maxZ);
    }
    segments[stored] = {-1, -1, -1, -1, -1, -1};

    delete[] currentObject;
    currentObject = segments;
    currentExtent = extent;
    return true;
}

} // namespace

bool loadLetterObjectFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    const bool loaded = loadFrom(file);
    std::fclose(file);
    return loaded;
}

bool loadLetterObject(char character) {
    for (const std::string& name : letterObjectNames(character)) {
        if (std::FILE* file = std::fopen(dataPath("objs", name.c_str()).c_str(), "r")) {
            const bool loaded = loadFrom(file);
            std::fclose(file);
            return loaded;
        }
    }
    return false;
}

void freeLetterObject() {
    delete[] currentObject;
    currentObject = nullptr;
    currentExtent = ObjectExtent{};
}

int currentObjectSegments() {
    return currentExtent.segments;
}

namespace {

// Toward zero; a screen coordinate this far out is clipped by drawLine anyway.
inline int screenCoordinate(double v) {
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return static_cast<int>(v);
}

// The mean of level / 4 + 192 over m positions of a channel from position p on, reading the
// block as a ring (a channel-0 position past 575 reads channel 1, as the block is laid out).
int swell(const uint8_t* audio, int ch, int64_t p, int m) {
    int byte = static_cast<int>((576 * ch + p) % kAudioBlockSize);
    int sum = 0;
    for (int k = 0; k < m; ++k) {
        sum += (audio[byte] ^ plugin.sampleBias) / 4 + 192;
        if (++byte == kAudioBlockSize) byte = 0;
    }
    return sum / m;
}

} // namespace

// Turns the current object about its vertical axis and swells each segment with the music.
// Objects with more segments than the frame is wide would get no samples per segment; they
// sample one position per segment instead.
void waveObjects(uint8_t* frame, const uint8_t* audio) {
    if (!currentObject) {
        plugin.currentWave = 0; // nothing to turn: hand over to "DotHor"
        return;
    }
    objectAngle += 0.0698131700797732;
    const double ca = std::cos(objectAngle), sa = std::sin(objectAngle);
    const ObjectExtent& e = currentExtent;
    const int n = e.segments;
    if (n == 0) return;

    const int w = plugin.frameWidth, h = plugin.frameHeight;
    int largest = e.maxX > e.maxY ? e.maxX : e.maxY;
    if (e.maxZ > largest) largest = e.maxZ;
    const double d = static_cast<double>(largest) + 1;
    const double k = 0.9 * (w < h ? w : h) / d;
    const int offX = w / 2 - e.maxX / 2, offY = h / 2 - e.maxY / 2;
    const double cX = 0.5 * e.maxX, cY = 0.5 * e.maxY, cZ = 0.5 * e.maxZ;
    int m = w / n;
    if (m == 0) m = 1;
    const int c = waveColours[255];

    for (int i = 0; i < n; ++i) {
        const ObjectSegment& s = currentObject[i];
        const int64_t p = static_cast<int64_t>(i) * n;
        const double f0 = swell(audio, 0, p, m) * k * 0.020833333333333332;
        const double f1 = swell(audio, 1, p, m) * k * 0.020833333333333332;
        int sx[2], sy[2];
        const int32_t pts[2][3] = {{s.x1, s.y1, s.z1}, {s.x2, s.y2, s.z2}};
        for (int j = 0; j < 2; ++j) {
            const double xc = pts[j][0] - cX, yc = pts[j][1] - cY, zc = pts[j][2] - cZ;
            const double x = xc * ca + zc * sa;
            const double z = zc * ca - xc * sa;
            const double f = j == 0 ? f0 : f1;
            sx[j] = screenCoordinate(x * f / (z + d) + offX);
            sy[j] = screenCoordinate(yc * f / (z + d) + offY);
        }
        drawLine(frame, sx[0], sy[0], sx[1], sy[1], c);
        drawLine(frame, sx[0] + 1, sy[0] + 1, sx[1] + 1, sy[1] + 1, c);
        drawLine(frame, sx[0] - 1, sy[0] - 1, sx[1] - 1, sy[1] - 1, c);
    }
}
