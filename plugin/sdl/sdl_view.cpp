#include "sdl/sdl_view.h"

#include "base/instance.h"
#include "base/random.h"
#include "frame/desktop_view.h"
#include "frame/display_copy.h"
#include "media/pixel_format.h"
#ifdef QUORBEL_PNG
#include "sdl/png_file.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#ifdef QUORBEL_X11
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace {

// The four typefaces the song text is drawn in, one chosen at random for each text as on
// Windows: the DejaVu fonts of the distribution (Debian fonts-dejavu-core).
const char* const kFontFiles[4] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

bool isFile(const char* path) {
    struct stat s;
    return stat(path, &s) == 0 && S_ISREG(s.st_mode);
}

// Copies the set pixels of an 8-bit rendered text surface as 1 into a one-byte-a-pixel buffer
// of width x height, from its top left, clipped.
void stampRendered(SDL_Surface* rendered, uint8_t* out, int width, int height) {
    if (SDL_LockSurface(rendered) != 0) return;
    const int w = rendered->w < width ? rendered->w : width;
    const int h = rendered->h < height ? rendered->h : height;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(rendered->pixels) + y * rendered->pitch;
        for (int x = 0; x < w; ++x)
            if (row[x]) out[y * width + x] = 1;
    }
    SDL_UnlockSurface(rendered);
}

#ifdef QUORBEL_X11
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

// The values of a window property of 32-bit items of the given type (at most length of them),
// or none: handed to use(values, count) while they are held.
template <class Use>
void readProperty(Display* display, Window window, Atom property, Atom kind, long length, Use use) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, length, False, kind, &type, &format,
                           &count, &after, &data) == Success &&
        type == kind && format == 32 && data)
        use(reinterpret_cast<const unsigned long*>(data), count);
    if (data) XFree(data);
}

// The first window a window property names, or 0 (None) when there is none.
Window windowProperty(Display* display, Window window, Atom property) {
    Window named = None;
    readProperty(display, window, property, XA_WINDOW, 1,
                 [&](const unsigned long* values, unsigned long count) {
                     if (count == 1) named = Window(values[0]);
                 });
    return named;
}
#endif

// Whether a window manager runs that makes a window full screen when asked (the EWMH state
// _NET_WM_STATE_FULLSCREEN, which SDL asks for). Without one an X window keeps its size while
// SDL believes it covers the desktop, and the picture would be placed for a size it does not
// have. True wherever SDL itself sees to it (Wayland, other drivers).
bool windowManagerMakesFullScreen(SDL_Window* window) {
#ifdef QUORBEL_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    Display* display = info.info.x11.display;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", True);
    const Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", True);
    if (check == None || supported == None || fullScreen == None) return false;
    // The manager's check window names itself; one left behind by a manager that has ended
    // is gone (the error of asking a window that is gone is not fatal here).
    XSync(display, False);
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(ignoreXError);
    const Window root = DefaultRootWindow(display);
    const Window manager = windowProperty(display, root, check);
    bool running = manager != None && windowProperty(display, manager, check) == manager;
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!running) return false;
    bool offered = false;
    readProperty(display, root, supported, XA_ATOM, 4096,
                 [&](const unsigned long* atoms, unsigned long count) {
                     for (unsigned long i = 0; i < count && !offered; ++i)
                         offered = Atom(atoms[i]) == fullScreen;
                 });
    return offered;
#else
    (void)window;
    return true;
#endif
}

} // namespace

SdlView::~SdlView() {
    close();
}

bool SdlView::open(bool fullScreen, std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // Made hidden and shown once it is full screen, so that it does not show at its
    // windowed size first.
    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN;
    window_ = SDL_CreateWindow("Quorbel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               plugin.frameWidth, plugin.frameHeight, flags);
    if (!window_) {
        error = SDL_GetError();
        return false;
    }
    SDL_SetWindowMinimumSize(window_, 160, 120);
    // The renderer first: making it may make the window again (for OpenGL), at the place and
    // size it was made with.
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) {
        error = SDL_GetError();
        return false;
    }
    if (fullScreen) setFullScreen(true);
    SDL_ShowWindow(window_);
    SDL_ShowCursor(fullScreen ? SDL_DISABLE : SDL_ENABLE);
    resizeSurfaces();
    if (!texture_) {
        error = SDL_GetError();
        return false;
    }
    if (TTF_Init() == 0) {
        ttfStarted_ = true;
        for (const char* file : kFontFiles)
            if (isFile(file)) typefaces_.push_back(file);
        if (typefaces_.empty())
            fontProblem_ = "no DejaVu font in /usr/share/fonts/truetype/dejavu (Debian package "
                           "fonts-dejavu-core): song texts and the info line are not drawn";
    } else {
        fontProblem_ = std::string("no TrueType fonts: ") + TTF_GetError();
    }
    return true;
}

void SdlView::resizeSurfaces() {
    if (width_ == plugin.frameWidth && height_ == plugin.frameHeight && texture_) return;
    width_ = plugin.frameWidth;
    height_ = plugin.frameHeight;
    back_.assign(size_t(width_) * size_t(height_), 0);
    text_.assign(size_t(plugin.textSurfaceWidth) * size_t(plugin.textSurfaceHeight), 0);
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 width_, height_);
}

void SdlView::close() {
    for (OpenFont& f : fonts_) TTF_CloseFont(f.font);
    fonts_.clear();
    if (ttfStarted_) TTF_Quit();
    ttfStarted_ = false;
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
}

void SdlView::setFullScreen(bool on) {
    if (!window_ || on == isFullScreen()) return;
    if (on && !windowManagerMakesFullScreen(window_)) {
        // No one to ask: a borderless window over the whole display, which the X server
        // gives at once (and SDL then knows its real size).
        SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
        SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
        SDL_Rect display;
        if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &display) != 0)
            return;
        SDL_SetWindowBordered(window_, SDL_FALSE);
        SDL_SetWindowPosition(window_, display.x, display.y);
        SDL_SetWindowSize(window_, display.w, display.h);
        SDL_RaiseWindow(window_);
        ownFullScreen_ = true;
    } else if (on) {
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else if (ownFullScreen_) {
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
        SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
        ownFullScreen_ = false;
    } else {
        SDL_SetWindowFullscreen(window_, 0);
    }
    SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
}

bool SdlView::isFullScreen() const {
    return window_ &&
           (ownFullScreen_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0);
}

void SdlView::toggleFullScreen() {
    setFullScreen(!isFullScreen());
}

void SdlView::resizeWindow(int width, int height) {
    if (window_) SDL_SetWindowSize(window_, width, height);
}

TTF_Font* SdlView::font(int typeface, int height) {
    if (typeface < 0 || typeface >= int(typefaces_.size())) return nullptr;
    for (OpenFont& f : fonts_)
        if (f.typeface == typeface && f.height == height) return f.font;
    // A point size whose line height is about the cell height asked for (the DejaVu fonts'
    // lines are 1.16 times their size).
    const int points = height * 86 / 100 > 4 ? height * 86 / 100 : 4;
    TTF_Font* opened = TTF_OpenFont(typefaces_[size_t(typeface)].c_str(), points);
    if (opened) fonts_.push_back({typeface, height, opened});
    return opened;
}

void SdlView::playerTitle(char* buffer, int size) {
    if (size <= 0) return;
    std::snprintf(buffer, size_t(size), "%s", title.c_str());
}

void SdlView::drawSongText(const char* text) {
    // As on Windows: a typeface at random, the text surface cleared, the largest of the cell
    // heights 48, 40, 32, 24, 16 and 8 at which the text fits the width, drawn from the top
    // left in white on black; nothing below 16.
    const int typeface = randomNext() % 4;
    resizeSurfaces();
    std::fill(text_.begin(), text_.end(), 0);
    if (typefaces_.empty() || !*text) return;
    const int chosen = typeface % int(typefaces_.size());
    static const int kHeights[6] = {48, 40, 32, 24, 16, 8};
    for (int height : kHeights) {
        TTF_Font* f = font(chosen, height);
        int w = 0, h = 0;
        if (!f || TTF_SizeUTF8(f, text, &w, &h) != 0) continue;
        if (w > plugin.textSurfaceWidth) continue;
        if (height < 16) return;
        SDL_Surface* rendered = TTF_RenderUTF8_Solid(f, text, SDL_Color{255, 255, 255, 255});
        if (!rendered) return;
        stampRendered(rendered, text_.data(), plugin.textSurfaceWidth, plugin.textSurfaceHeight);
        SDL_FreeSurface(rendered);
        return;
    }
}

bool SdlView::lockTextSurface(const uint8_t** pixels, long* pitch) {
    resizeSurfaces();
    if (text_.empty()) return false;
    *pixels = text_.data();
    *pitch = plugin.textSurfaceWidth;
    return true;
}

void SdlView::copyFrame() {
    resizeSurfaces();
    copyCurrentFrame(reinterpret_cast<uint8_t*>(back_.data()), long(width_) * 4);
}

void SdlView::drawOverlay(const char* text) {
    if (typefaces_.empty() || !*text) return;
    TTF_Font* f = font(0, 16);
    if (!f) return;
    SDL_Surface* rendered =
        TTF_RenderUTF8_Shaded(f, text, SDL_Color{255, 255, 255, 255}, SDL_Color{0, 0, 0, 255});
    if (!rendered) return;
    // Index 0 is the background, the others shades from it to white.
    if (SDL_LockSurface(rendered) == 0) {
        const SDL_Palette* palette = rendered->format->palette;
        const int w = rendered->w < width_ ? rendered->w : width_;
        const int h = rendered->h < height_ ? rendered->h : height_;
        for (int y = 0; y < h; ++y) {
            const uint8_t* row =
                static_cast<const uint8_t*>(rendered->pixels) + y * rendered->pitch;
            for (int x = 0; x < w; ++x) {
                const SDL_Color c = palette ? palette->colors[row[x]] : SDL_Color{0, 0, 0, 255};
                back_[size_t(y) * size_t(width_) + size_t(x)] =
                    uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
            }
        }
        SDL_UnlockSurface(rendered);
    }
    SDL_FreeSurface(rendered);
}

void SdlView::showFrame() {
    if (!renderer_ || !texture_) return;
    SDL_UpdateTexture(texture_, nullptr, back_.data(), width_ * 4);
    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight);
    // The whole window: a renderer keeps the viewport of the size it last heard of, and a
    // window made full screen (or resized) before that news arrives would be drawn into a
    // corner.
    SDL_RenderSetViewport(renderer_, nullptr);
    const DesktopPlacement place = placeOnMonitor(width_, height_, outputWidth, outputHeight);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    const SDL_Rect target = {place.x, place.y, place.width, place.height};
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    if (keepWindow_ && outputWidth > 0 && outputHeight > 0) {
        keepWindow_ = false;
        picture_.assign(size_t(outputWidth) * size_t(outputHeight), 0);
        windowWidth_ = outputWidth;
        windowHeight_ = outputHeight;
        if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB888, picture_.data(),
                                 outputWidth * 4) != 0)
            picture_.clear();
    }
    SDL_RenderPresent(renderer_);
}

namespace {
// Saves width x height pixels (0x00RRGGBB) as BMP, or PNG for a name ending in ".png".
bool savePixels(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
                std::string& error) {
    if (pixels.empty() || width <= 0 || height <= 0) {
        error = "nothing shown yet";
        return false;
    }
    const bool png = path.size() > 4 && (path.compare(path.size() - 4, 4, ".png") == 0 ||
                                         path.compare(path.size() - 4, 4, ".PNG") == 0);
    if (png) {
#ifdef QUORBEL_PNG
        return writePng(path, pixels.data(), width, height, error);
#else
        error = "built without zlib (zlib1g-dev): captures are BMP files";
        return false;
#endif
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(pixels.data()), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (!surface) {
        error = SDL_GetError();
        return false;
    }
    const bool saved = SDL_SaveBMP(surface, path.c_str()) == 0;
    if (!saved) error = SDL_GetError();
    SDL_FreeSurface(surface);
    return saved;
}
} // namespace

bool SdlView::saveFrame(const std::string& path, std::string& error) const {
    return savePixels(path, back_, width_, height_, error);
}

bool SdlView::saveWindow(const std::string& path, std::string& error) const {
    return savePixels(path, picture_, windowWidth_, windowHeight_, error);
}
