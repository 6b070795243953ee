// make_pictures: draws our own pictures and writes them as 256-colour GIF files through gbm.
//
//   make_pictures PICS_DIR TEST_DATA_DIR
//
// PICS_DIR receives the pictures of the pics folder (data/pics), TEST_DATA_DIR the 16-colour
// picture the tests use (tests/data). Everything is computed with integer arithmetic and a
// fixed random sequence, so every run on every machine gives the same bytes.
#include "gbm.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Integer helpers.

// Sine in Q15 of an angle in 4096ths of a full turn, from a table built by exact integer
// rotation steps.
class Sine {
  public:
    Sine() {
        int64_t c = int64_t(1) << 30, s = 0;
        const int64_t stepCos = 1073740561, stepSin = 1647099; // one step in Q30
        for (int i = 0; i <= 1024; ++i) {
            quarter_[i] = (int)((s + (1 << 14)) >> 15);
            const int64_t nc = (c * stepCos - s * stepSin + (int64_t(1) << 29)) >> 30;
            const int64_t ns = (s * stepCos + c * stepSin + (int64_t(1) << 29)) >> 30;
            c = nc;
            s = ns;
        }
        quarter_[1024] = 32767;
    }
    int operator()(int a) const {
        a &= 4095;
        if (a < 1024) return quarter_[a];
        if (a < 2048) return quarter_[2048 - a];
        if (a < 3072) return -quarter_[a - 2048];
        return -quarter_[4096 - a];
    }
    int cos(int a) const { return (*this)(a + 1024); }

  private:
    int quarter_[1025];
};
const Sine isin;

int isqrt(int64_t v) {
    if (v <= 0) return 0;
    int64_t r = 0, bit = int64_t(1) << 62;
    while (bit > v) bit >>= 2;
    while (bit) {
        if (v >= r + bit) {
            v -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
        bit >>= 2;
    }
    return (int)r;
}

// Angle of (x, y) in 4096ths of a turn, 0 along +x, counter-clockwise with y up.
int iatan2(int y, int x) {
    if (x == 0 && y == 0) return 0;
    const int64_t ax = x < 0 ? -(int64_t)x : x, ay = y < 0 ? -(int64_t)y : y;
    const bool steep = ay > ax;
    const int64_t t = steep ? (ax << 12) / ay : (ay << 12) / ax; // 0..4096
    // atan(t) ~ pi/4 t + 0.273 t (1 - t), here in 4096ths of a turn.
    int a = (int)((512 * t + 178 * t * (4096 - t) / 4096) / 4096);
    if (steep) a = 1024 - a;
    if (x < 0) a = 2048 - a;
    if (y < 0) a = 4096 - a;
    return a & 4095;
}

// A fixed random sequence (linear congruential, high bits).
class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed) {}
    int next() {
        state_ = state_ * 1103515245u + 12345u;
        return (int)((state_ >> 16) & 0x7fff);
    }
    int below(int n) { return next() % n; }

  private:
    uint32_t state_;
};

int clamp(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// ---------------------------------------------------------------------------------------------
// Pictures: palette indices, top row first, and 256 colours.

struct Picture {
    int w, h;
    std::vector<uint8_t> px;
    GBMRGB palette[256];

    Picture(int width, int height) : w(width), h(height), px((size_t)width * height, 0) {
        for (GBMRGB& c : palette) c = {0, 0, 0};
    }
    uint8_t& at(int x, int y) { return px[(size_t)y * w + x]; }

    // Linear colour ramp over the indices from..to.
    void ramp(int from, int to, GBMRGB a, GBMRGB b) {
        for (int i = from; i <= to; ++i) {
            const int n = to - from, k = i - from;
            auto mix = [&](int u, int v) { return (uint8_t)(n ? u + (v - u) * k / n : u); };
            palette[i] = {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
        }
    }
};

bool writePicture(const Picture& pic, const std::string& path, int bpp = 8) {
    const int stride = ((pic.w * bpp + 31) / 32) * 4;
    std::vector<uint8_t> data((size_t)stride * pic.h, 0);
    for (int y = 0; y < pic.h; ++y) {
        uint8_t* row = &data[(size_t)(pic.h - 1 - y) * stride];
        for (int x = 0; x < pic.w; ++x) {
            const uint8_t v = pic.px[(size_t)y * pic.w + x];
            if (bpp == 8)
                row[x] = v;
            else
                row[x / 2] |= (uint8_t)((x & 1) ? v & 15 : (v & 15) << 4);
        }
    }
    int ft = 0;
    if (gbm_guess_filetype(path.c_str(), &ft) != GBM_ERR_OK) return false;
    const int fd = gbm_io_create(path.c_str(), GBM_O_WRONLY | GBM_O_BINARY);
    if (fd == -1) return false;
    GBM header{};
    header.w = pic.w;
    header.h = pic.h;
    header.bpp = bpp;
    const GBM_ERR rc = gbm_write(path.c_str(), fd, ft, &header, pic.palette, data.data(), "");
    const GBM_ERR closed = gbm_io_close(fd);
    if (rc != GBM_ERR_OK || closed != GBM_ERR_OK) {
        std::fprintf(stderr, "make_pictures: %s: %s\n", path.c_str(), gbm_err(rc ? rc : closed));
        std::remove(path.c_str());
        return false;
    }
    return true;
}

// Plasma: a sum of sine waves folded into a triangle, so that low indices are dark and high
// ones bright in any palette.
Picture plasma() {
    Picture p(640, 480);
    p.ramp(0, 63, {0, 0, 16}, {40, 0, 120});
    p.ramp(64, 127, {40, 0, 120}, {200, 0, 160});
    p.ramp(128, 191, {200, 0, 160}, {255, 140, 40});
    p.ramp(192, 255, {255, 140, 40}, {255, 255, 200});
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int dx = x - 420, dy = y - 180;
            const int r = isqrt((int64_t)dx * dx + (int64_t)dy * dy);
            int v = isin(x * 9) + isin(y * 13) + isin((x + y) * 6) + isin(r * 16) +
                    isin(x * 4 - y * 7 + isin(y * 5) / 64);
            // v in about -5..5 x 32767: fold into 0..255 twice around.
            int t = ((v + 5 * 32768) * 2 / 5 / 128) & 511;
            p.at(x, y) = (uint8_t)(t < 256 ? t : 511 - t);
        }
    return p;
}

// Midpoint displacement ridge: heights[0..n] (n a power of two).
std::vector<int> ridge(int n, int left, int right, int roughness, Random& rnd) {
    std::vector<int> hgt((size_t)n + 1, 0);
    hgt[0] = left;
    hgt[n] = right;
    for (int step = n, amp = roughness; step > 1; step /= 2, amp = amp * 11 / 20) {
        for (int i = 0; i < n; i += step) {
            const int mid = i + step / 2;
            hgt[mid] = (hgt[i] + hgt[i + step]) / 2 + (amp ? rnd.below(2 * amp + 1) - amp : 0);
        }
    }
    return hgt;
}

// Landscape at 800x600: evening sky, sun, four mountain ranges and a lake that mirrors them.
Picture landscape() {
    Picture p(800, 600);
    // 0..63 sky from night blue at the top to orange at the horizon; 64..79 sun;
    // 80..159 four ranges of 20 shades each, far ones lighter; 160..223 water; 224..255 foam.
    p.ramp(0, 31, {8, 10, 48}, {90, 50, 120});
    p.ramp(32, 63, {90, 50, 120}, {250, 150, 70});
    p.ramp(64, 79, {255, 190, 90}, {255, 250, 210});
    const GBMRGB rangeTop[4] = {{150, 110, 150}, {110, 80, 120}, {70, 50, 90}, {36, 26, 50}};
    for (int k = 0; k < 4; ++k) {
        const GBMRGB t = rangeTop[k];
        p.ramp(80 + 20 * k, 99 + 20 * k, t,
               {(uint8_t)(t.r / 3), (uint8_t)(t.g / 3), (uint8_t)(t.b / 3)});
    }
    p.ramp(160, 191, {20, 16, 50}, {60, 40, 90});
    p.ramp(192, 223, {60, 40, 90}, {200, 120, 80});
    p.ramp(224, 255, {200, 120, 80}, {255, 230, 190});

    const int horizon = 400, sunX = 560, sunY = 330, sunR = 46;
    for (int y = 0; y < horizon; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int dx = x - sunX, dy = y - sunY;
            const int d = isqrt((int64_t)dx * dx + (int64_t)dy * dy);
            int v = y * 64 / horizon;
            if (d < sunR)
                v = 79 - d * 8 / sunR;
            else if (d < sunR * 3)
                v = clamp(v + (sunR * 3 - d) * 12 / (sunR * 2), 0, 63);
            p.at(x, y) = (uint8_t)v;
        }

    Random rnd(8);
    const int base[4] = {250, 290, 330, 370}, rough[4] = {90, 70, 55, 30};
    for (int k = 0; k < 4; ++k) {
        // The order of the draws is fixed here: as arguments of one call, compilers differ on
        // which is drawn first (the committed picture has the right end drawn first).
        const int right = base[k] - rnd.below(60);
        const int left = base[k] - rnd.below(60);
        const std::vector<int> hgt = ridge(1024, left, right, rough[k], rnd);
        for (int x = 0; x < p.w; ++x) {
            const int top = clamp(hgt[(size_t)x * 1024 / p.w], 40, horizon);
            for (int y = top; y < horizon; ++y)
                p.at(x, y) =
                    (uint8_t)(80 + 20 * k + clamp((y - top) * 20 / (horizon - top + 1), 0, 19));
        }
    }

    // The lake mirrors what is above the horizon, darkened and broken into ripples.
    for (int y = horizon; y < p.h; ++y) {
        const int depth = y - horizon;
        const int shift = isin(depth * depth / 3 + depth * 40) * (2 + depth / 24) / 32767;
        for (int x = 0; x < p.w; ++x) {
            const int sx = clamp(x + shift, 0, p.w - 1);
            const int sy = clamp(horizon - 1 - depth, 0, horizon - 1);
            const int above = p.at(sx, sy);
            int v;
            if (above >= 64 && above < 80)
                v = 224 + (above - 64) * 2; // the sun's path
            else if (above < 64)
                v = 192 + above / 2; // the sky
            else
                v = 160 + (3 - (above - 80) / 20) * 7 + (above - 80) % 20 / 4;     // the ranges
            if (((depth + isin(x * 3) / 8192) % 11) == 0) v = v > 164 ? v - 4 : v; // ripples
            p.at(x, y) = (uint8_t)v;
        }
    }
    return p;
}

// Rings: two sets of concentric rings laid over each other, shaded by distance.
Picture rings() {
    Picture p(640, 480);
    p.ramp(0, 127, {0, 10, 20}, {0, 150, 170});
    p.ramp(128, 255, {30, 20, 0}, {255, 230, 120});
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int ax = x - 230, ay = y - 210, bx = x - 430, by = y - 270;
            const int d1 = isqrt((int64_t)ax * ax + (int64_t)ay * ay);
            const int d2 = isqrt((int64_t)bx * bx + (int64_t)by * by);
            const int shade = 127 - clamp((d1 + d2) * 127 / 900, 0, 127);
            const bool odd = ((d1 / 18) ^ (d2 / 18)) & 1;
            p.at(x, y) = (uint8_t)(odd ? 128 + shade : shade);
        }
    return p;
}

// Spiral at 320x240: five arms winding into the centre.
Picture spiral() {
    Picture p(320, 240);
    p.ramp(0, 127, {0, 0, 0}, {20, 120, 60});
    p.ramp(128, 255, {20, 120, 60}, {230, 255, 170});
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int dx = x - 160, dy = 120 - y;
            const int r = isqrt((int64_t)dx * dx + (int64_t)dy * dy);
            const int a = iatan2(dy, dx);
            const int wave = isin(a * 5 + r * 40);           // the arms
            const int fade = clamp(r * 256 / 170, 0, 255);   // brighter outwards
            const int v = (wave + 32768) / 256 * fade / 256; // 0..255
            p.at(x, y) = (uint8_t)clamp(v, 0, 255);
        }
    return p;
}

// Fractal: the Mandelbrot set in fixed point, escape counts as brightness.
Picture fractal() {
    Picture p(640, 480);
    p.ramp(0, 0, {0, 0, 0}, {0, 0, 0});
    p.ramp(1, 31, {10, 0, 40}, {60, 20, 160});
    p.ramp(32, 95, {60, 20, 160}, {230, 60, 60});
    p.ramp(96, 255, {230, 60, 60}, {255, 255, 140});
    const int64_t one = int64_t(1) << 24;
    const int64_t centreX = -one / 2, centreY = 0, span = one * 3; // width of the view
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const int64_t cx = centreX + (x - p.w / 2) * span / p.w;
            const int64_t cy = centreY + (p.h / 2 - y) * span / p.w;
            int64_t zx = 0, zy = 0;
            int n = 0;
            for (; n < 255; ++n) {
                const int64_t xx = zx * zx >> 24, yy = zy * zy >> 24;
                if (xx + yy > 4 * one) break;
                zy = (2 * zx * zy >> 24) + cy;
                zx = xx - yy + cx;
            }
            // Inside the set black; outside by escape count, bright near the border.
            p.at(x, y) = (uint8_t)(n == 255 ? 0 : clamp(1 + n * 4, 1, 255));
        }
    return p;
}

// The "Quorbel" logo: letters of our own 7x9 design, gold with a bevel and a shadow, on black
// with stars.
Picture logo() {
    static const char* const glyphs[7][9] = {
        {".#####.", "##...##", "##...##", "##...##", "##...##", "##.#.##", "##..###", ".######",
         "......#"},
        {".......", ".......", "##...##", "##...##", "##...##", "##...##", "##..###", ".###.##",
         "......."},
        {".......", ".......", ".#####.", "##...##", "##...##", "##...##", "##...##", ".#####.",
         "......."},
        {".......", ".......", "##.###.", "###..##", "##.....", "##.....", "##.....", "##.....",
         "......."},
        {"##.....", "##.....", "##.###.", "###..##", "##...##", "##...##", "###..##", "##.###.",
         "......."},
        {".......", ".......", ".#####.", "##...##", "#######", "##.....", "##...##", ".#####.",
         "......."},
        {"##.....", "##.....", "##.....", "##.....", "##.....", "##.....", "##.....", ".###...",
         "......."},
    };
    static const int advance[7] = {8, 8, 8, 8, 8, 8, 5};

    Picture p(640, 480);
    // 0 black; 1..15 shadow; 16..31 star glow; 32..223 gold from dark to light;
    // 224..255 highlights.
    p.ramp(1, 15, {8, 6, 16}, {30, 24, 50});
    p.ramp(16, 31, {60, 60, 90}, {255, 255, 255});
    p.ramp(32, 127, {70, 30, 0}, {210, 140, 20});
    p.ramp(128, 223, {210, 140, 20}, {255, 230, 120});
    p.ramp(224, 255, {255, 230, 120}, {255, 255, 245});

    Random rnd(1998);
    for (int i = 0; i < 180; ++i) {
        const int x = rnd.below(p.w), y = rnd.below(p.h), b = rnd.below(16);
        p.at(x, y) = (uint8_t)(16 + b);
        if (b > 11) {
            if (x > 0) p.at(x - 1, y) = (uint8_t)(16 + b / 2);
            if (x + 1 < p.w) p.at(x + 1, y) = (uint8_t)(16 + b / 2);
            if (y > 0) p.at(x, y - 1) = (uint8_t)(16 + b / 2);
            if (y + 1 < p.h) p.at(x, y + 1) = (uint8_t)(16 + b / 2);
        }
    }

    const int cell = 11;
    int total = 0;
    for (int c = 0; c < 7; ++c) total += advance[c];
    total = total * cell - cell;
    const int left = (p.w - total) / 2, top = 240 - 9 * cell / 2 - cell;
    auto on = [&](int c, int gx, int gy) {
        return gx >= 0 && gx < 7 && gy >= 0 && gy < 9 && glyphs[c][gy][gx] == '#';
    };

    // Shadow first, then the letters over it.
    for (int pass = 0; pass < 2; ++pass) {
        int ox = left;
        for (int c = 0; c < 7; ++c) {
            for (int py = 0; py < 9 * cell; ++py)
                for (int px = 0; px < 7 * cell; ++px) {
                    const int gx = px / cell, gy = py / cell;
                    if (!on(c, gx, gy)) continue;
                    if (pass == 0) {
                        const int sx = ox + px + 7, sy = top + py + 8;
                        if (sx < p.w && sy < p.h) p.at(sx, sy) = (uint8_t)(6 + (px + py) % 5);
                        continue;
                    }
                    // Gold gradient from top to bottom; lighter on the upper and left edges of
                    // each stroke, darker on the lower and right ones.
                    const int fx = px % cell, fy = py % cell;
                    int v = 223 - py * 150 / (9 * cell);
                    if (fy < 2 && !on(c, gx, gy - 1))
                        v = 240 + fx;
                    else if (fx < 2 && !on(c, gx - 1, gy))
                        v = clamp(v + 40, 32, 238);
                    else if (fy >= cell - 2 && !on(c, gx, gy + 1))
                        v = 40 + fx * 2;
                    else if (fx >= cell - 2 && !on(c, gx + 1, gy))
                        v = clamp(v - 60, 32, 223);
                    p.at(ox + px, top + py) = (uint8_t)v;
                }
            ox += advance[c] * cell;
        }
    }

    // A thin line under the name.
    const int lineY = top + 9 * cell + 18;
    for (int x = left; x < left + total; ++x) {
        const int edge = clamp((x - left) * 2 * 96 / total, 0, 96);
        const int fade = clamp((left + total - x) * 2 * 96 / total, 0, 96);
        p.at(x, lineY) = (uint8_t)(32 + 2 * (edge < fade ? edge : fade));
    }
    return p;
}

// 16 colours at 4 bits per pixel: colour bars with a diagonal band. Pictures must be
// 256-colour pictures, so this one is for tests that check it is refused.
Picture sixteenColours() {
    Picture p(160, 120);
    for (int i = 0; i < 16; ++i)
        p.palette[i] = {(uint8_t)((i & 1) ? 255 : 0), (uint8_t)((i & 2) ? 255 : 0),
                        (uint8_t)((i & 4) ? 255 : 0)};
    for (int i = 8; i < 16; ++i)
        p.palette[i] = {(uint8_t)(p.palette[i].r / 2), (uint8_t)(p.palette[i].g / 2),
                        (uint8_t)(p.palette[i].b / 2)};
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) p.at(x, y) = (uint8_t)(((x + y / 2) % 40 < 6) ? 15 : x / 10);
    return p;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_pictures PICS_DIR TEST_DATA_DIR\n");
        return 2;
    }
    const std::string pics = std::string(argv[1]) + "/", tests = std::string(argv[2]) + "/";
    gbm_init();
    bool ok = true;
    ok = writePicture(plasma(), pics + "plasma.gif") && ok;
    ok = writePicture(landscape(), pics + "landscape.gif") && ok;
    ok = writePicture(rings(), pics + "rings.gif") && ok;
    ok = writePicture(spiral(), pics + "spiral.gif") && ok;
    ok = writePicture(fractal(), pics + "fractal.gif") && ok;
    ok = writePicture(logo(), pics + "quorbel_logo.gif") && ok;
    ok = writePicture(sixteenColours(), tests + "sixteen_colours.gif", 4) && ok;
    gbm_deinit();
    return ok ? 0 : 1;
}
