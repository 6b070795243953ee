// Helpers for the gbm tests: reading and writing whole pictures, a deterministic pixel source,
// and a small GIF builder of its own (literal codes only) for files gbm itself would not write.
#pragma once
#include "gbm.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gbmtest {

inline int stride(int w, int bpp) {
    return ((w * bpp + 31) / 32) * 4;
}

struct Image {
    GBM_ERR rc = GBM_ERR_OK;
    int w = 0, h = 0, bpp = 0;
    std::vector<GBMRGB> palette;
    std::vector<uint8_t> data; // as gbm gives it: bottom row first, padded rows

    // Pixel (x, y) with y = 0 the top row.
    int pixel(int x, int y) const {
        const uint8_t* row = &data[(size_t)(h - 1 - y) * stride(w, bpp)];
        if (bpp == 8) return row[x];
        if (bpp == 4) return (x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4;
        return (row[x / 8] >> (7 - x % 8)) & 1;
    }
};

inline Image readImage(const std::string& path) {
    Image img;
    int ft = -1;
    if ((img.rc = gbm_guess_filetype(path.c_str(), &ft)) != GBM_ERR_OK) return img;
    const int fd = gbm_io_open(path.c_str(), GBM_O_RDONLY | GBM_O_BINARY);
    if (fd == -1) {
        img.rc = -1;
        return img;
    }
    GBM header;
    img.rc = gbm_read_header(path.c_str(), fd, ft, &header, "");
    if (img.rc == GBM_ERR_OK) {
        img.w = header.w;
        img.h = header.h;
        img.bpp = header.bpp;
        img.palette.resize(256);
        img.rc = gbm_read_palette(fd, ft, &header, img.palette.data());
    }
    if (img.rc == GBM_ERR_OK) {
        img.data.assign((size_t)stride(img.w, img.bpp) * img.h, 0xcd);
        img.rc = gbm_read_data(fd, ft, &header, img.data.data());
    }
    gbm_io_close(fd);
    return img;
}

inline GBM_ERR writeImage(const std::string& path, int w, int h, int bpp,
                          const std::vector<GBMRGB>& palette, const std::vector<uint8_t>& data,
                          const char* options = "") {
    int ft = -1;
    gbm_guess_filetype(path.c_str(), &ft);
    const int fd = gbm_io_create(path.c_str(), GBM_O_WRONLY | GBM_O_BINARY);
    if (fd == -1) return -1;
    GBM header{};
    header.w = w;
    header.h = h;
    header.bpp = bpp;
    const GBM_ERR rc =
        gbm_write(path.c_str(), fd, ft, &header, palette.data(), data.data(), options);
    const GBM_ERR closed = gbm_io_close(fd);
    return rc != GBM_ERR_OK ? rc : closed;
}

// A fixed pseudo-random sequence.
struct Lcg {
    uint32_t state;
    explicit Lcg(uint32_t seed) : state(seed) {}
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// Packed rows (bottom row first) from pixel values given top row first.
inline std::vector<uint8_t> pack(int w, int h, int bpp, const std::vector<uint8_t>& px) {
    std::vector<uint8_t> data((size_t)stride(w, bpp) * h, 0);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = &data[(size_t)(h - 1 - y) * stride(w, bpp)];
        for (int x = 0; x < w; ++x) {
            const int v = px[(size_t)y * w + x];
            if (bpp == 8)
                row[x] = (uint8_t)v;
            else if (bpp == 4)
                row[x / 2] |= (uint8_t)((x & 1) ? v : v << 4);
            else if (v)
                row[x / 8] |= (uint8_t)(0x80 >> (x % 8));
        }
    }
    return data;
}

inline std::vector<GBMRGB> rampPalette(int colours) {
    std::vector<GBMRGB> p(256, GBMRGB{0, 0, 0});
    for (int i = 0; i < colours; ++i)
        p[i] = {(uint8_t)(i * 7 + 1), (uint8_t)(255 - i), (uint8_t)(i * 13 + 5)};
    return p;
}

inline bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    // An empty vector's data() may be null, which fwrite must not be given.
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
    std::fclose(f);
    return bytes;
}

// Builds GIF files byte by byte. Image data uses literal codes only, with a clear code often
// enough that the code size never grows: simple, and independent of gbm's encoder.
struct GifBuilder {
    std::vector<uint8_t> bytes;

    void u8(int v) { bytes.push_back((uint8_t)v); }
    void u16(int v) {
        u8(v & 0xff);
        u8(v >> 8);
    }
    void colourTable(int entries) {
        for (int i = 0; i < entries; ++i) {
            u8(i * 3);
            u8(i * 5 + 1);
            u8(255 - i);
        }
    }
    // tableBits 0: no global table; otherwise a table of 2^tableBits entries.
    void screen(const char* version, int w, int h, int tableBits, int background = 0) {
        for (const char* p = version; *p; ++p) u8(*p);
        u16(w);
        u16(h);
        u8(tableBits ? 0x80 | (tableBits - 1) : 0);
        u8(background);
        u8(0);
        if (tableBits) colourTable(1 << tableBits);
    }
    void extension(int label, const std::vector<std::string>& blocks) {
        u8(0x21);
        u8(label);
        for (const std::string& b : blocks) {
            u8((int)b.size());
            for (char c : b) u8((uint8_t)c);
        }
        u8(0);
    }
    void descriptor(int left, int top, int w, int h, bool interlaced, int localBits) {
        u8(0x2c);
        u16(left);
        u16(top);
        u16(w);
        u16(h);
        u8((interlaced ? 0x40 : 0) | (localBits ? 0x80 | (localBits - 1) : 0));
        if (localBits) colourTable(1 << localBits);
    }
    // Pixels in file order (interlaced order for interlaced images).
    void data(int minCodeSize, const std::vector<uint8_t>& pixels, bool withEnd = true) {
        u8(minCodeSize);
        const int clear = 1 << minCodeSize, codeBits = minCodeSize + 1;
        std::vector<uint8_t> packed;
        uint32_t acc = 0;
        int count = 0;
        auto put = [&](int code) {
            acc |= (uint32_t)code << count;
            count += codeBits;
            while (count >= 8) {
                packed.push_back((uint8_t)acc);
                acc >>= 8;
                count -= 8;
            }
        };
        int sinceClear = clear; // forces a clear first
        for (uint8_t p : pixels) {
            if (sinceClear >= clear - 2) {
                put(clear);
                sinceClear = 0;
            }
            put(p);
            ++sinceClear;
        }
        if (withEnd) put(clear + 1);
        if (count > 0) packed.push_back((uint8_t)acc);
        for (size_t i = 0; i < packed.size(); i += 255) {
            const size_t n = packed.size() - i < 255 ? packed.size() - i : 255;
            u8((int)n);
            bytes.insert(bytes.end(), packed.begin() + (long)i, packed.begin() + (long)(i + n));
        }
        u8(0);
    }
    void trailer() { u8(0x3b); }
};

// Rows of an image in the order an interlaced file stores them.
inline std::vector<int> interlacedRows(int h) {
    std::vector<int> rows;
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < h; y += step[pass]) rows.push_back(y);
    return rows;
}

// A file name in folder, which is created when missing. The name carries the running test's
// name, since ctest runs tests side by side.
inline std::string tempFileIn(const std::string& folder, const std::string& name) {
    ::mkdir(folder.c_str(), 0755);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!test) return folder + "/" + name;
    return folder + "/" + test->test_suite_name() + "." + test->name() + "-" + name;
}

// w x h colour indices below colours, the same for the same seed.
inline std::vector<uint8_t> randomPixels(int w, int h, int colours, uint32_t seed) {
    Lcg rnd(seed);
    std::vector<uint8_t> px((size_t)w * h);
    for (uint8_t& p : px) p = (uint8_t)(rnd.next() % (uint32_t)colours);
    return px;
}

} // namespace gbmtest
