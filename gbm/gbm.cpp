// gbm: GIF reading and writing behind the gbm calls.
//
// Reading parses the file up to the first image descriptor in gbm_read_header and keeps what
// it found (screen size, image placement, colour table, offset of the compressed data) in the
// private part of the header, so gbm_read_palette needs no file access and gbm_read_data seeks
// to the compressed data itself. Every read is bounded by the file and every write by the
// caller's buffer of h rows; a file that ends early or breaks the format gives an error.
#include "gbm.h"
#include "gbm_stdio.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// ---------------------------------------------------------------------------------------------
// Handles: a small table of stdio files. Slots are claimed and released atomically, so threads
// may open and close files at the same time.

constexpr int kMaxHandles = 64;
std::atomic<FILE*> handleTable[kMaxHandles];

int claimHandle(FILE* file) {
    for (int i = 0; i < kMaxHandles; ++i) {
        FILE* expected = nullptr;
        if (handleTable[i].compare_exchange_strong(expected, file)) return i;
    }
    return -1;
}

FILE* fileOf(int handle) {
    if (handle < 0 || handle >= kMaxHandles) return nullptr;
    return handleTable[handle].load();
}

// ---------------------------------------------------------------------------------------------
// What gbm_read_header found, kept in GBM::priv.

constexpr uint32_t kInfoMagic = 0x47424d31; // "GBM1"

struct GifInfo {
    uint32_t magic;
    int32_t w, h, bpp;                // canvas, as given to the caller
    int32_t left, top, width, height; // the image on the canvas
    int32_t interlaced;
    int32_t minCodeSize;
    int32_t background;
    int32_t colours;
    long dataOffset; // first byte after the minimum code size
    uint8_t palette[256 * 3];
};
static_assert(sizeof(GifInfo) <= sizeof(((GBM*)nullptr)->priv), "GBM::priv too small");

bool loadInfo(const GBM* gbm, GifInfo& info) {
    std::memcpy(&info, gbm->priv, sizeof info);
    return info.magic == kInfoMagic && info.w == gbm->w && info.h == gbm->h && info.bpp == gbm->bpp;
}

int rowBytes(int w, int bpp) {
    return (int)((((int64_t)w * bpp + 31) / 32) * 4);
}

// ---------------------------------------------------------------------------------------------
// Buffered reading.

class Reader {
  public:
    explicit Reader(FILE* file) : file_(file) {}

    // The next byte, or -1 at the end of the file or on a read error.
    int byte() {
        if (pos_ == len_ && !fill()) return -1;
        ++offset_;
        return buf_[pos_++];
    }
    bool read(uint8_t* dst, size_t n) {
        while (n > 0) {
            if (pos_ == len_ && !fill()) return false;
            size_t take = len_ - pos_ < n ? len_ - pos_ : n;
            std::memcpy(dst, buf_ + pos_, take);
            pos_ += take;
            offset_ += (long)take;
            dst += take;
            n -= take;
        }
        return true;
    }
    long offset() const { return offset_; }
    void startAt(long offset) { offset_ = offset; }

    // Compressed data comes in sub-blocks of up to 255 bytes after a length byte; a zero
    // length ends the data. dataByte gives the next data byte, kEndOfData after the zero
    // length, or kEndOfFile.
    static constexpr int kEndOfData = -2;
    static constexpr int kEndOfFile = -1;
    int dataByte() {
        if (blockLeft_ == 0) {
            if (dataEnded_) return kEndOfData;
            int n = byte();
            if (n < 0) return kEndOfFile;
            if (n == 0) {
                dataEnded_ = true;
                return kEndOfData;
            }
            blockLeft_ = n;
        }
        int b = byte();
        if (b < 0) return kEndOfFile;
        --blockLeft_;
        return b;
    }
    // Skips sub-blocks up to and including the zero length. False when the file ends first.
    bool skipBlocks() {
        for (;;) {
            int n = byte();
            if (n < 0) return false;
            if (n == 0) return true;
            for (int i = 0; i < n; ++i)
                if (byte() < 0) return false;
        }
    }

  private:
    bool fill() {
        len_ = std::fread(buf_, 1, sizeof buf_, file_);
        pos_ = 0;
        return len_ > 0;
    }

    FILE* file_;
    uint8_t buf_[8192];
    size_t pos_ = 0, len_ = 0;
    long offset_ = 0;
    int blockLeft_ = 0;
    bool dataEnded_ = false;
};

int le16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}

int bppForColours(int colours) {
    return colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
}

GBM_ERR parseHeader(FILE* file, GifInfo& info) {
    std::memset(&info, 0, sizeof info);
    if (std::fseek(file, 0, SEEK_SET) != 0) return GBM_ERR_READ;
    Reader in(file);

    uint8_t head[13];
    if (!in.read(head, 6)) return GBM_ERR_BAD_MAGIC;
    if (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0)
        return GBM_ERR_BAD_MAGIC;
    if (!in.read(head + 6, 7)) return GBM_ERR_READ;
    const int screenW = le16(head + 6), screenH = le16(head + 8);
    const int screenFlags = head[10];
    int background = head[11];

    uint8_t globalTable[256 * 3] = {};
    int globalColours = 0;
    if (screenFlags & 0x80) {
        globalColours = 2 << (screenFlags & 7);
        if (!in.read(globalTable, (size_t)globalColours * 3)) return GBM_ERR_READ;
    }

    // Extensions (graphic control, comments, application blocks, plain text) are skipped; the
    // first image descriptor is the picture.
    uint8_t desc[9];
    for (;;) {
        int b = in.byte();
        if (b < 0) return GBM_ERR_READ;
        if (b == 0x2c) {
            if (!in.read(desc, 9)) return GBM_ERR_READ;
            break;
        }
        if (b == 0x21) {
            if (in.byte() < 0 || !in.skipBlocks()) return GBM_ERR_READ;
            continue;
        }
        if (b == 0x3b) return GBM_ERR_NO_IMAGE;
        if (b == 0x00) continue; // stray padding some writers leave between blocks
        return GBM_ERR_CORRUPT;
    }
    const int left = le16(desc), top = le16(desc + 2);
    const int width = le16(desc + 4), height = le16(desc + 6);
    const int imageFlags = desc[8];

    if (imageFlags & 0x80) {
        info.colours = 2 << (imageFlags & 7);
        if (!in.read(info.palette, (size_t)info.colours * 3)) return GBM_ERR_READ;
    } else if (globalColours > 0) {
        info.colours = globalColours;
        std::memcpy(info.palette, globalTable, sizeof globalTable);
    } else {
        // No colour table at all: the indices are shown as a grey ramp.
        info.colours = 256;
        for (int i = 0; i < 256; ++i)
            info.palette[3 * i] = info.palette[3 * i + 1] = info.palette[3 * i + 2] = (uint8_t)i;
    }

    int minCodeSize = in.byte();
    if (minCodeSize < 0) return GBM_ERR_READ;
    if (minCodeSize < 1 || minCodeSize > 8) return GBM_ERR_CORRUPT;

    if (width == 0 || height == 0) return GBM_ERR_BAD_SIZE;
    // The image lies on the logical screen at its position; an image that does not fit on its
    // screen (a broken or empty screen size) stands alone.
    if (left + width <= screenW && top + height <= screenH) {
        info.w = screenW;
        info.h = screenH;
        info.left = left;
        info.top = top;
    } else {
        info.w = width;
        info.h = height;
    }
    if (info.w > GBM_MAX_DIMENSION || info.h > GBM_MAX_DIMENSION) return GBM_ERR_BAD_SIZE;

    info.magic = kInfoMagic;
    info.bpp = bppForColours(info.colours);
    info.width = width;
    info.height = height;
    info.interlaced = (imageFlags & 0x40) != 0;
    info.minCodeSize = minCodeSize;
    // The background index refers to the global table.
    if (globalColours == 0 || background >= (1 << info.bpp)) background = 0;
    info.background = background;
    info.dataOffset = in.offset();
    return GBM_ERR_OK;
}

// ---------------------------------------------------------------------------------------------
// Rows of the canvas into the caller's buffer.

// Packs w pixels of one byte each into a row of the caller's layout; pixels that do not fit
// in bpp bits become 0. Bytes after the last pixel are set to 0.
void packRow(const uint8_t* px, int w, int bpp, uint8_t* out, int stride) {
    if (bpp == 8) {
        std::memcpy(out, px, (size_t)w);
        std::memset(out + w, 0, (size_t)(stride - w));
        return;
    }
    std::memset(out, 0, (size_t)stride);
    const int limit = 1 << bpp;
    if (bpp == 4) {
        for (int x = 0; x < w; ++x) {
            int v = px[x] < limit ? px[x] : 0;
            out[x >> 1] |= (uint8_t)((x & 1) ? v : v << 4);
        }
    } else {
        for (int x = 0; x < w; ++x)
            if (px[x] == 1) out[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
    }
}

struct Decoder {
    // LZW string table: each code is a prefix code plus one last pixel.
    uint16_t prefix[4096];
    uint8_t suffix[4096];
    uint16_t length[4096];
    uint8_t string[4096];
};

// Decodes the image's compressed data; calls emitRow(imageRow, pixels) for every row of the
// image as it is completed (in file order, which is interlaced for interlaced images).
template <class EmitRow>
GBM_ERR decodeImage(Reader& in, const GifInfo& info, Decoder& d, uint8_t* row, EmitRow emitRow) {
    const int clear = 1 << info.minCodeSize, endCode = clear + 1;
    const int width = info.width, height = info.height;
    for (int c = 0; c < clear; ++c) {
        d.suffix[c] = (uint8_t)c;
        d.length[c] = 1;
        d.prefix[c] = 0;
    }

    static const int passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
    int pass = 0, imageRow = 0, rowsDone = 0, x = 0;

    int codeBits = info.minCodeSize + 1, next = clear + 2, prev = -1;
    uint32_t bits = 0;
    int bitCount = 0;
    for (;;) {
        while (bitCount < codeBits) {
            int b = in.dataByte();
            if (b == Reader::kEndOfFile) return GBM_ERR_READ;
            if (b == Reader::kEndOfData) return GBM_ERR_CORRUPT; // data ends before the image
            bits |= (uint32_t)b << bitCount;
            bitCount += 8;
        }
        const int code = (int)(bits & ((1u << codeBits) - 1));
        bits >>= codeBits;
        bitCount -= codeBits;

        if (code == clear) {
            codeBits = info.minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == endCode) return GBM_ERR_CORRUPT; // the image is not complete yet

        int len;
        if (prev < 0) {
            if (code >= clear) return GBM_ERR_CORRUPT;
            d.string[0] = (uint8_t)code;
            len = 1;
        } else {
            // Write the string backwards from its last pixel along the prefix chain.
            const bool defining = code == next; // the code being defined right now
            int walk, at;
            if (code < next) {
                len = d.length[code];
                walk = code;
                at = len;
            } else if (defining && next < 4096) {
                // The previous string plus its own first pixel.
                len = d.length[prev] + 1;
                walk = prev;
                at = len - 1;
            } else {
                return GBM_ERR_CORRUPT;
            }
            while (at > 0) {
                d.string[--at] = d.suffix[walk];
                walk = d.prefix[walk];
            }
            if (defining) d.string[len - 1] = d.string[0];
            if (next < 4096) {
                d.prefix[next] = (uint16_t)prev;
                d.suffix[next] = d.string[0];
                d.length[next] = (uint16_t)(d.length[prev] + 1);
                ++next;
                if (next >= (1 << codeBits) && codeBits < 12) ++codeBits;
            }
        }
        prev = code;

        // Hand the pixels on, row by row. Pixels after the last row are dropped.
        const uint8_t* s = d.string;
        while (len > 0) {
            int take = width - x < len ? width - x : len;
            std::memcpy(row + x, s, (size_t)take);
            x += take;
            s += take;
            len -= take;
            if (x == width) {
                emitRow(imageRow, row);
                x = 0;
                if (++rowsDone == height) return GBM_ERR_OK;
                if (info.interlaced) {
                    imageRow += passStep[pass];
                    while (imageRow >= height) {
                        if (pass == 3) return GBM_ERR_CORRUPT; // cannot happen: rows remain
                        imageRow = passStart[++pass];
                    }
                } else {
                    ++imageRow;
                }
            }
        }
    }
}

GBM_ERR readData(FILE* file, const GifInfo& info, uint8_t* data) {
    const int stride = rowBytes(info.w, info.bpp);
    uint8_t* canvasRow = (uint8_t*)std::malloc((size_t)info.w);
    uint8_t* imageRow = (uint8_t*)std::malloc((size_t)info.width);
    Decoder* decoder = (Decoder*)std::malloc(sizeof(Decoder));
    GBM_ERR rc = GBM_ERR_OK;
    if (!canvasRow || !imageRow || !decoder) {
        rc = GBM_ERR_MEM;
    } else if (std::fseek(file, info.dataOffset, SEEK_SET) != 0) {
        rc = GBM_ERR_READ;
    } else {
        // Screen pixels that the image does not cover show the background colour.
        std::memset(canvasRow, info.background, (size_t)info.w);
        if (info.width != info.w || info.height != info.h) {
            packRow(canvasRow, info.w, info.bpp, data, stride);
            for (int y = 1; y < info.h; ++y)
                std::memcpy(data + (size_t)y * stride, data, (size_t)stride);
        }
        Reader in(file);
        in.startAt(info.dataOffset);
        const bool alone = info.width == info.w;
        rc = decodeImage(in, info, *decoder, imageRow, [&](int y, const uint8_t* px) {
            uint8_t* out = data + (size_t)(info.h - 1 - (info.top + y)) * stride;
            if (alone) {
                packRow(px, info.w, info.bpp, out, stride);
            } else {
                std::memcpy(canvasRow + info.left, px, (size_t)info.width);
                packRow(canvasRow, info.w, info.bpp, out, stride);
            }
        });
    }
    std::free(decoder);
    std::free(imageRow);
    std::free(canvasRow);
    return rc;
}

// ---------------------------------------------------------------------------------------------
// Writing.

class Writer {
  public:
    explicit Writer(FILE* file) : file_(file) {}
    void byte(int b) {
        if (len_ == sizeof buf_) flush();
        buf_[len_++] = (uint8_t)b;
    }
    void bytes(const void* p, size_t n) {
        const uint8_t* s = (const uint8_t*)p;
        for (size_t i = 0; i < n; ++i) byte(s[i]);
    }
    void le16(int v) {
        byte(v & 0xff);
        byte((v >> 8) & 0xff);
    }
    // Codes go out least significant bit first, in sub-blocks of 255 bytes.
    void code(int code, int codeBits) {
        bits_ |= (uint32_t)code << bitCount_;
        bitCount_ += codeBits;
        while (bitCount_ >= 8) {
            dataByte((int)(bits_ & 0xff));
            bits_ >>= 8;
            bitCount_ -= 8;
        }
    }
    void endData() {
        if (bitCount_ > 0) dataByte((int)(bits_ & 0xff));
        bits_ = 0;
        bitCount_ = 0;
        if (blockLen_ > 0) flushBlock();
        byte(0);
    }
    bool finish() {
        flush();
        return !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
    }

  private:
    void dataByte(int b) {
        block_[blockLen_++] = (uint8_t)b;
        if (blockLen_ == 255) flushBlock();
    }
    void flushBlock() {
        byte(blockLen_);
        bytes(block_, (size_t)blockLen_);
        blockLen_ = 0;
    }
    void flush() {
        if (len_ > 0 && std::fwrite(buf_, 1, len_, file_) != len_) failed_ = true;
        len_ = 0;
    }

    FILE* file_;
    uint8_t buf_[16384];
    size_t len_ = 0;
    uint8_t block_[255];
    int blockLen_ = 0;
    uint32_t bits_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;
};

// The encoder's string table: a hash of (prefix code, pixel) to code, open addressing.
struct Encoder {
    static constexpr int kSize = 16384;
    int32_t key[kSize];
    uint16_t value[kSize];

    void reset() { std::memset(key, 0xff, sizeof key); }
    static unsigned slot(int32_t k) { return ((uint32_t)k * 2654435761u) >> 18; }
    int find(int32_t k, unsigned& at) const {
        at = slot(k);
        while (key[at] != -1) {
            if (key[at] == k) return value[at];
            at = (at + 1) & (kSize - 1);
        }
        return -1;
    }
};

bool hasOption(const char* options, const char* word) {
    if (!options) return false;
    const size_t n = std::strlen(word);
    for (const char* p = options; *p;) {
        while (*p == ' ' || *p == ',') ++p;
        const char* start = p;
        while (*p && *p != ' ' && *p != ',') ++p;
        if ((size_t)(p - start) == n && std::strncmp(start, word, n) == 0) return true;
    }
    return false;
}

void unpackRow(const uint8_t* in, int w, int bpp, uint8_t* px) {
    if (bpp == 8) {
        std::memcpy(px, in, (size_t)w);
    } else if (bpp == 4) {
        for (int x = 0; x < w; ++x) px[x] = (x & 1) ? in[x >> 1] & 0x0f : in[x >> 1] >> 4;
    } else {
        for (int x = 0; x < w; ++x) px[x] = (in[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

GBM_ERR writeGif(FILE* file, const GBM& gbm, const GBMRGB* palette, const uint8_t* data,
                 bool interlace) {
    const int w = gbm.w, h = gbm.h, bpp = gbm.bpp;
    const int stride = rowBytes(w, bpp);
    const int colours = 1 << bpp;
    const int minCodeSize = bpp < 2 ? 2 : bpp;

    Writer* out = new (std::nothrow) Writer(file);
    Encoder* enc = (Encoder*)std::malloc(sizeof(Encoder));
    uint8_t* px = (uint8_t*)std::malloc((size_t)w);
    GBM_ERR rc = GBM_ERR_OK;
    if (!out || !enc || !px) {
        rc = GBM_ERR_MEM;
    } else {
        out->bytes("GIF87a", 6);
        out->le16(w);
        out->le16(h);
        out->byte(0x80 | ((bpp - 1) << 4) | (bpp - 1)); // global table of 2^bpp colours
        out->byte(0);                                   // background index
        out->byte(0);                                   // no aspect ratio
        for (int i = 0; i < colours; ++i) {
            out->byte(palette[i].r);
            out->byte(palette[i].g);
            out->byte(palette[i].b);
        }
        out->byte(0x2c);
        out->le16(0);
        out->le16(0);
        out->le16(w);
        out->le16(h);
        out->byte(interlace ? 0x40 : 0x00);
        out->byte(minCodeSize);

        const int clear = 1 << minCodeSize, endCode = clear + 1;
        int codeBits = minCodeSize + 1, next = clear + 2;
        enc->reset();
        out->code(clear, codeBits);

        static const int passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
        int pass = 0, y = 0, current = -1;
        for (int rowsDone = 0; rowsDone < h; ++rowsDone) {
            unpackRow(data + (size_t)(h - 1 - y) * stride, w, bpp, px);
            int x = 0;
            if (current < 0) current = px[x++];
            for (; x < w; ++x) {
                const int pixel = px[x];
                const int32_t k = (pixel << 12) | current;
                unsigned at;
                const int found = enc->find(k, at);
                if (found >= 0) {
                    current = found;
                    continue;
                }
                out->code(current, codeBits);
                if (next < 4096) {
                    enc->key[at] = k;
                    enc->value[at] = (uint16_t)next;
                    ++next;
                    if (next > (1 << codeBits) && codeBits < 12) ++codeBits;
                } else {
                    // Table full: start afresh.
                    out->code(clear, codeBits);
                    enc->reset();
                    codeBits = minCodeSize + 1;
                    next = clear + 2;
                }
                current = pixel;
            }
            if (interlace) {
                y += passStep[pass];
                while (y >= h && pass < 3) y = passStart[++pass];
            } else {
                ++y;
            }
        }
        out->code(current, codeBits);
        // The decoder adds a table entry on reading the last code; follow its code size.
        if (next < 4096) {
            ++next;
            if (next > (1 << codeBits) && codeBits < 12) ++codeBits;
        }
        out->code(endCode, codeBits);
        out->endData();
        out->byte(0x3b);
        if (!out->finish()) rc = GBM_ERR_WRITE;
    }
    std::free(px);
    std::free(enc);
    delete out;
    return rc;
}

bool endsWithGif(const char* path) {
    const size_t n = std::strlen(path);
    if (n < 4) return false;
    const char* ext = path + n - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'g' && (ext[2] | 0x20) == 'i' &&
           (ext[3] | 0x20) == 'f';
}

} // namespace

extern "C" {

GBM_ERR GBMENTRY gbm_init(void) {
    return GBM_ERR_OK;
}

GBM_ERR GBMENTRY gbm_deinit(void) {
    return GBM_ERR_OK;
}

GBM_ERR GBMENTRY gbm_guess_filetype(const char* path, int* filetype) {
    if (!path || !filetype) return GBM_ERR_BAD_ARG;
    if (!endsWithGif(path)) {
        *filetype = -1;
        return GBM_ERR_NOT_SUPP;
    }
    *filetype = GBM_FT_GIF;
    return GBM_ERR_OK;
}

int GBMENTRY gbm_io_open(const char* path, int mode) {
    if (!path) return -1;
    const int access = mode & 3;
    FILE* file = std::fopen(path, access == GBM_O_RDONLY ? "rb" : "r+b");
    if (!file) return -1;
    const int handle = claimHandle(file);
    if (handle < 0) std::fclose(file);
    return handle;
}

int GBMENTRY gbm_io_create(const char* path, int mode) {
    if (!path) return -1;
    FILE* file = std::fopen(path, (mode & 3) == GBM_O_RDWR ? "w+b" : "wb");
    if (!file) return -1;
    const int handle = claimHandle(file);
    if (handle < 0) std::fclose(file);
    return handle;
}

int gbm_io_attach(FILE* file) {
    if (!file) return -1;
    return claimHandle(file);
}

GBM_ERR GBMENTRY gbm_io_close(int handle) {
    if (handle < 0 || handle >= kMaxHandles) return GBM_ERR_BAD_HANDLE;
    FILE* file = handleTable[handle].exchange(nullptr);
    if (!file) return GBM_ERR_BAD_HANDLE;
    return std::fclose(file) == 0 ? GBM_ERR_OK : GBM_ERR_WRITE;
}

GBM_ERR GBMENTRY gbm_read_header(const char* path, int handle, int filetype, GBM* gbm,
                                 const char* options) {
    if (!gbm) return GBM_ERR_BAD_ARG;
    if (filetype != GBM_FT_GIF) return GBM_ERR_BAD_FT;
    FILE* file = fileOf(handle);
    if (!file) return GBM_ERR_BAD_HANDLE;
    GifInfo info;
    GBM_ERR rc = parseHeader(file, info);
    std::memset(gbm, 0, sizeof *gbm);
    if (rc != GBM_ERR_OK) return rc;
    gbm->w = info.w;
    gbm->h = info.h;
    gbm->bpp = info.bpp;
    std::memcpy(gbm->priv, &info, sizeof info);
    return GBM_ERR_OK;
}

GBM_ERR GBMENTRY gbm_read_palette(int handle, int filetype, GBM* gbm, GBMRGB* palette) {
    if (!gbm || !palette) return GBM_ERR_BAD_ARG;
    if (filetype != GBM_FT_GIF) return GBM_ERR_BAD_FT;
    GifInfo info;
    if (!loadInfo(gbm, info)) return GBM_ERR_BAD_ARG;
    for (int i = 0; i < 256; ++i) {
        palette[i].r = info.palette[3 * i];
        palette[i].g = info.palette[3 * i + 1];
        palette[i].b = info.palette[3 * i + 2];
    }
    return GBM_ERR_OK;
}

GBM_ERR GBMENTRY gbm_read_data(int handle, int filetype, GBM* gbm, unsigned char* data) {
    if (!gbm || !data) return GBM_ERR_BAD_ARG;
    if (filetype != GBM_FT_GIF) return GBM_ERR_BAD_FT;
    FILE* file = fileOf(handle);
    if (!file) return GBM_ERR_BAD_HANDLE;
    GifInfo info;
    if (!loadInfo(gbm, info)) return GBM_ERR_BAD_ARG;
    return readData(file, info, data);
}

GBM_ERR GBMENTRY gbm_write(const char* path, int handle, int filetype, const GBM* gbm,
                           const GBMRGB* palette, const unsigned char* data, const char* options) {
    if (!gbm || !palette || !data) return GBM_ERR_BAD_ARG;
    if (filetype != GBM_FT_GIF) return GBM_ERR_BAD_FT;
    FILE* file = fileOf(handle);
    if (!file) return GBM_ERR_BAD_HANDLE;
    if (gbm->bpp != 1 && gbm->bpp != 4 && gbm->bpp != 8) return GBM_ERR_NOT_SUPP;
    if (gbm->w < 1 || gbm->h < 1 || gbm->w > GBM_MAX_DIMENSION || gbm->h > GBM_MAX_DIMENSION)
        return GBM_ERR_BAD_SIZE;
    return writeGif(file, *gbm, palette, data, hasOption(options, "interlace"));
}

const char* GBMENTRY gbm_err(GBM_ERR rc) {
    switch (rc) {
    case GBM_ERR_OK:
        return "ok";
    case GBM_ERR_MEM:
        return "out of memory";
    case GBM_ERR_NOT_SUPP:
        return "not supported";
    case GBM_ERR_BAD_MAGIC:
        return "not a GIF file";
    case GBM_ERR_BAD_SIZE:
        return "bad or too large dimensions";
    case GBM_ERR_READ:
        return "read error or file too short";
    case GBM_ERR_WRITE:
        return "write error";
    case GBM_ERR_CORRUPT:
        return "corrupt file";
    case GBM_ERR_NO_IMAGE:
        return "no image in the file";
    case GBM_ERR_BAD_ARG:
        return "bad argument";
    case GBM_ERR_BAD_HANDLE:
        return "bad handle";
    case GBM_ERR_BAD_FT:
        return "bad file type";
    default:
        return "unknown error";
    }
}

} // extern "C"
