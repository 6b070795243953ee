#include "frame/desktop_view.h"

#include "frame/ddraw_errors.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

DesktopPlacement placeOnMonitor(int frameWidth, int frameHeight, int monitorWidth,
                                int monitorHeight) {
    if (frameWidth <= 0 || frameHeight <= 0 || monitorWidth <= 0 || monitorHeight <= 0)
        return {0, 0, 0, 0, 0};
    const int across = monitorWidth / frameWidth;
    const int down = monitorHeight / frameHeight;
    const int scale = across < down ? across : down;
    int width, height;
    if (scale >= 1) {
        width = frameWidth * scale;
        height = frameHeight * scale;
    } else if (int64_t(monitorWidth) * frameHeight <= int64_t(monitorHeight) * frameWidth) {
        // The monitor is narrower than the frame's aspect: the width fills it.
        width = monitorWidth;
        height = int(int64_t(frameHeight) * monitorWidth / frameWidth);
    } else {
        height = monitorHeight;
        width = int(int64_t(frameWidth) * monitorHeight / frameHeight);
    }
    return {scale, (monitorWidth - width) / 2, (monitorHeight - height) / 2, width, height};
}

int scaleForDpi(int length, int dpi) {
    if (dpi <= 0) dpi = 96;
    return static_cast<int>((int64_t(length) * dpi + 48) / 96);
}

DesktopPlacement placeInScaledView(int frameWidth, int frameHeight, int viewWidth, int viewHeight,
                                   int dpi) {
    return placeOnMonitor(frameWidth, frameHeight, scaleForDpi(viewWidth, dpi),
                          scaleForDpi(viewHeight, dpi));
}

int presentationWays(bool fullScreenRow, bool fullScreenOnDesktop,
                     PresentationWay ways[kMaxPresentationWays]) {
    int count = 0;
    if (!fullScreenRow)
        ways[count++] = PresentationWay::Window;
    else if (!fullScreenOnDesktop)
        ways[count++] = PresentationWay::ModeChange;
    ways[count++] = PresentationWay::DesktopFullScreen;
    ways[count++] = PresentationWay::Window640;
    return count;
}

const char* presentationWayName(PresentationWay way) {
    switch (way) {
    case PresentationWay::ModeChange:
        return "full screen display mode";
    case PresentationWay::DesktopFullScreen:
        return "full screen on the desktop";
    case PresentationWay::Window:
        return "window";
    case PresentationWay::Window640:
        return "640x480 window";
    }
    return "";
}

const char* fallbackInfoText(PresentationWay first, PresentationWay shown) {
    const bool onDesktop = shown == PresentationWay::DesktopFullScreen;
    if (first == PresentationWay::Window)
        return onDesktop ? "The window could not be set up: shown on the desktop"
                         : "The window could not be set up: shown in a 640x480 window";
    return onDesktop ? "Full screen mode could not be set: shown on the desktop"
                     : "Full screen mode could not be set: shown in a window";
}

void formatFallbackLogLine(char* out, size_t size, const PresentationFailure* failures, int count,
                           PresentationWay shown) {
    if (!out || size == 0) return;
    out[0] = '\0';
    size_t used = 0;
    auto append = [&](const char* text) {
        const size_t length = std::strlen(text);
        const size_t room = size - 1 - used;
        const size_t copied = length < room ? length : room;
        std::memcpy(out + used, text, copied);
        used += copied;
        out[used] = '\0';
    };
    append("Presentation: ");
    for (int i = 0; i < count; ++i) {
        // The table's names are padded with tabs and spaces for the message box.
        char name[64];
        DirectDrawErrorText(failures[i].code, name, sizeof name);
        size_t length = std::strlen(name);
        while (length > 0 && (name[length - 1] == '\t' || name[length - 1] == ' ')) --length;
        name[length] = '\0';
        char code[16];
        std::snprintf(code, sizeof code, "%08lx",
                      static_cast<unsigned long>(failures[i].code) & 0xFFFFFFFFul);
        if (i > 0) append("; ");
        append(presentationWayName(failures[i].way));
        append(" failed (");
        append(code);
        append(" ");
        append(name);
        append(")");
    }
    append("; shown as ");
    append(presentationWayName(shown));
}
