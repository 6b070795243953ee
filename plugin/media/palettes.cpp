#include "media/palettes.h"

#include "base/guard.h"
#include "base/instance.h"
#include "base/paths.h"
#include "base/settings.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// ---- The ".map" reader ----------------------------------------------------------------------

constexpr int kEndOfInput = -1;
// A text-mode read on Windows ends the file at Ctrl-Z; the reader does the same everywhere so
// that a file reads alike on every system.
constexpr int kTextEndOfFile = 0x1A;

// Bytes of a ".map" text, from memory or from an open file, with one byte of look-ahead.
class MapSource {
  public:
    MapSource(const char* data, size_t size)
        : position_(reinterpret_cast<const unsigned char*>(data)), end_(position_ + size) {}
    explicit MapSource(std::FILE* file) : file_(file) {}

    int peek() {
        if (ended_) return kEndOfInput;
        if (position_ == end_ && !refill()) {
            ended_ = true;
            return kEndOfInput;
        }
        if (*position_ == kTextEndOfFile) {
            ended_ = true;
            return kEndOfInput;
        }
        return *position_;
    }
    void advance() {
        if (!ended_ && position_ != end_) ++position_;
    }

  private:
    bool refill() {
        if (!file_) return false;
        const size_t got = std::fread(buffer_, 1, sizeof buffer_, file_);
        if (got == 0) return false;
        position_ = buffer_;
        end_ = buffer_ + got;
        return true;
    }

    const unsigned char* position_ = nullptr;
    const unsigned char* end_ = nullptr;
    std::FILE* file_ = nullptr;
    bool ended_ = false;
    unsigned char buffer_[4096];
};

bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// One "%d": optional white space, an optional sign and at least one digit. The value is kept
// modulo 256 as it is read, which is its low 8 bits however long the number is.
bool readNumber(MapSource& source, uint8_t& value) {
    int c = source.peek();
    while (isSpace(c)) {
        source.advance();
        c = source.peek();
    }
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        source.advance();
        c = source.peek();
    }
    if (!isDigit(c)) return false;
    unsigned magnitude = 0;
    while (isDigit(c)) {
        magnitude = (magnitude * 10 + static_cast<unsigned>(c - '0')) & 0xFFu;
        source.advance();
        c = source.peek();
    }
    value = static_cast<uint8_t>(negative ? (0u - magnitude) & 0xFFu : magnitude);
    return true;
}

// Everything up to and including the next line end is a comment, however long the line is.
void skipRestOfLine(MapSource& source) {
    for (int c = source.peek(); c != kEndOfInput; c = source.peek()) {
        source.advance();
        if (c == '\n') return;
    }
}

bool readEntry(MapSource& source, PaletteEntry& entry) {
    uint8_t red = 0, green = 0, blue = 0;
    const bool read =
        readNumber(source, red) && readNumber(source, green) && readNumber(source, blue);
    skipRestOfLine(source);
    entry = read ? PaletteEntry{red, green, blue, 0} : PaletteEntry{0, 0, 0, 0};
    return read;
}

bool parsePalette(MapSource& source, PaletteEntry* entries) {
    PaletteEntry parsed[kPaletteColours];
    if (!readEntry(source, parsed[0])) return false;
    for (int index = 1; index < kPaletteColours; ++index) readEntry(source, parsed[index]);
    std::memcpy(entries, parsed, sizeof parsed);
    return true;
}

// ---- Pixel forms ----------------------------------------------------------------------------

// Where a channel goes in a 16-bit pixel: the lowest set bit of its mask and the run of set
// bits from there.
struct ChannelField {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;
    explicit ChannelField(uint32_t m) : mask(m) {
        if (mask == 0) return;
        while (((mask >> shift) & 1u) == 0) ++shift;
        while (shift + width < 32 && ((mask >> (shift + width)) & 1u)) ++width;
    }
    // Channel byte c in the field: its top bits when the field is at most 8 bits wide, its bits
    // repeated downwards when it is wider.
    uint32_t place(uint8_t c) const {
        if (width == 0) return 0;
        uint64_t value;
        if (width <= 8) {
            value = c >> (8 - width);
        } else {
            value = 0;
            int filled = 0;
            for (; filled < width; filled += 8) value = (value << 8) | c;
            value >>= filled - width;
        }
        return static_cast<uint32_t>(value << shift) & mask;
    }
};

// ---- Listing and loading --------------------------------------------------------------------

bool hasMapExtension(const std::string& name) {
    static const char kExtension[] = ".map";
    const size_t length = sizeof kExtension - 1;
    if (name.size() <= length) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[name.size() - length + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

// Reads a palette file into block under the fault guard. The file is opened and closed outside
// the guarded block so that a fault while parsing cannot leak it.
bool readPaletteGuarded(const std::string& path, PaletteBlock& block) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    volatile bool read = false;
    guarded("palettes", __LINE__, [&] {
        MapSource source(file);
        PaletteEntry entries[kPaletteColours];
        if (parsePalette(source, entries)) {
            std::memcpy(block.entries, entries, sizeof entries);
            read = true;
        }
    });
    std::fclose(file);
    if (read) computePixelForms(block, pixelFormat);
    return read;
}

PaletteBlock greyRamp() {
    PaletteBlock block = {};
    for (int i = 0; i < kPaletteColours; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        block.entries[i] = PaletteEntry{v, v, v, 0};
    }
    return block;
}

// The block currentPaletteEntries points at when it is one of ours (pixel forms may then be
// refreshed), or null for a block that belongs to someone else (a picture's palette).
PaletteBlock* ownedCurrentBlock() {
    if (currentPaletteEntries == &sharedPalette) return &sharedPalette;
    for (PaletteBlock* block : loadedPalettes)
        if (block && block == currentPaletteEntries) return block;
    return nullptr;
}

} // namespace

bool parsePaletteText(const char* text, size_t size, PaletteEntry* entries) {
    MapSource source(text, text ? size : 0);
    return parsePalette(source, entries);
}

bool readPaletteFile(const char* path, PaletteBlock& block, const PixelFormat& format) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    MapSource source(file);
    PaletteEntry entries[kPaletteColours];
    const bool read = parsePalette(source, entries);
    std::fclose(file);
    if (!read) return false;
    std::memcpy(block.entries, entries, sizeof entries);
    computePixelForms(block, format);
    return true;
}

void computePixelForms(PaletteBlock& block, const PixelFormat& format) {
    const ChannelField red(format.redMask), green(format.greenMask), blue(format.blueMask);
    for (int i = 0; i < kPaletteColours; ++i) {
        const PaletteEntry& e = block.entries[i];
        block.pixels32[i] = ((e.red * 0x010101u) & format.redMask) |
                            ((e.green * 0x010101u) & format.greenMask) |
                            ((e.blue * 0x010101u) & format.blueMask);
        block.pixels16[i] =
            static_cast<uint16_t>(red.place(e.red) | green.place(e.green) | blue.place(e.blue));
    }
}

char paletteNames[kMaxPalettes][kPaletteNameSize];
int paletteCount = 0;
PaletteBlock* loadedPalettes[kMaxPalettes];
PaletteBlock sharedPalette = greyRamp();
const PaletteBlock* currentPaletteEntries = &sharedPalette;
long (*displayPaletteHook)(const PaletteBlock& block) = nullptr;

void enumeratePalettes() {
    freePalettes();
    std::memset(paletteNames, 0, sizeof paletteNames);
    paletteCount = 0;
    std::vector<std::string> names; // owned outside the guarded block
    guarded("palettes", __LINE__, [&] {
    // Windows matches "*.map" without regard to case (and, through short names, also
    // "x.mapx"); elsewhere every file is listed. The filter then gives the same list on
    // every system, so that our "VOLCANO.MAP" is found natively too.
#ifdef _WIN32
        names = listFiles(dataFolder("maps"), ".map");
#else
        names = listFiles(dataFolder("maps"), "");
#endif
        for (const std::string& name : names) {
            if (paletteCount == kMaxPalettes) break;
            if (!hasMapExtension(name) || name.size() >= static_cast<size_t>(kPaletteNameSize))
                continue;
            std::memcpy(paletteNames[paletteCount], name.c_str(), name.size() + 1);
            if (std::strncmp(paletteNames[paletteCount], settings.Palette, kSettingTextSize) == 0)
                plugin.currentPalette = paletteCount;
            ++paletteCount;
        }
    });
    if (plugin.currentPalette < 0 || plugin.currentPalette >= paletteCount)
        plugin.currentPalette = 0;
}

bool loadPalette(int index) {
    if (index < 0 || index >= paletteCount) return false;
    if (!loadedPalettes[index]) {
        loadedPalettes[index] = new (std::nothrow) PaletteBlock();
        if (!loadedPalettes[index]) return false;
    }
    PaletteBlock& block = *loadedPalettes[index];
    if (readPaletteGuarded(dataPath("maps", paletteNames[index]), block)) return true;
    // Unreadable in load-all mode: the palette shows black rather than stale colours.
    std::memset(block.entries, 0, sizeof block.entries);
    computePixelForms(block, pixelFormat);
    return false;
}

void loadAllPalettes(PaletteProgress progress, void* context) {
    for (int index = 0; index < paletteCount; ++index) {
        loadPalette(index);
        if (progress) progress(index + 1, paletteCount, context);
    }
}

bool paletteLoadAllMode() {
    return settings.Load_All_Palettes != 0;
}

long applyPalette() {
    if (paletteCount > 0) {
        if (plugin.currentPalette < 0 || plugin.currentPalette >= paletteCount)
            plugin.currentPalette = 0;
        const int index = plugin.currentPalette;
        PaletteBlock* block = nullptr;
        if (paletteLoadAllMode()) {
            if (!loadedPalettes[index]) loadPalette(index);
            block = loadedPalettes[index]; // null only when memory ran out
        }
        if (!block) {
            // Keeps the previous colours when the file cannot be read.
            readPaletteGuarded(dataPath("maps", paletteNames[index]), sharedPalette);
            block = &sharedPalette;
        }
        currentPaletteEntries = block;
    }
    // The display format may have been settled after the block was read.
    if (PaletteBlock* owned = ownedCurrentBlock()) computePixelForms(*owned, pixelFormat);
    return displayPaletteHook ? displayPaletteHook(*currentPaletteEntries) : 0;
}

void freePalettes() {
    for (PaletteBlock*& block : loadedPalettes) {
        if (!block) continue;
        if (currentPaletteEntries == block) {
            sharedPalette = *block;
            currentPaletteEntries = &sharedPalette;
        }
        delete block;
        block = nullptr;
    }
}
