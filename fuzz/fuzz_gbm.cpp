// Fuzzes gbm's GIF reading: header, palette and pixel data of arbitrary bytes.
#include "gbm.h"
#include "gbm_stdio.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(bytes), size, "rb");
    if (!file) return 0;
    const int fd = gbm_io_attach(file);
    if (fd == -1) {
        std::fclose(file);
        return 0;
    }
    GBM header;
    if (gbm_read_header("fuzz.gif", fd, GBM_FT_GIF, &header, "") == GBM_ERR_OK) {
        if (header.w < 1 || header.h < 1 || header.w > GBM_MAX_DIMENSION ||
            header.h > GBM_MAX_DIMENSION || (header.bpp != 1 && header.bpp != 4 && header.bpp != 8))
            std::abort();
        GBMRGB palette[256];
        if (gbm_read_palette(fd, GBM_FT_GIF, &header, palette) != GBM_ERR_OK) std::abort();
        // Screens the size of a real picture are read whole; the header alone is checked for
        // larger ones to keep the run fast.
        const size_t stride = ((size_t)header.w * header.bpp + 31) / 32 * 4;
        if (stride * header.h <= (size_t)4 << 20) {
            // Exactly the size gbm asks for, so AddressSanitizer sees any write past it.
            uint8_t* data = (uint8_t*)std::malloc(stride * header.h);
            gbm_read_data(fd, GBM_FT_GIF, &header, data);
            std::free(data);
        }
    }
    gbm_io_close(fd);
    return 0;
}
