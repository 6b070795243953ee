/* gbm: a small bitmap file library. It reads and writes GIF files (GIF87a and GIF89a) for the
 * plug-in's pictures and screen shots.
 *
 * Usage: gbm_init once; per file gbm_guess_filetype, gbm_io_open (or gbm_io_create for
 * writing), then gbm_read_header, gbm_read_palette and gbm_read_data (or gbm_write), and
 * gbm_io_close; gbm_deinit once at the end. Every call except the two io_open/io_create calls
 * returns 0 for success and one of the GBM_ERR_ codes otherwise.
 *
 * Pixel data: h rows, the bottom row first, each row ((w * bpp + 31) / 32) * 4 bytes. At 8 bits
 * per pixel one byte is one palette index; at 4 and 1 bits per pixel the pixels are packed with
 * the leftmost pixel in the most significant bits of a byte.
 *
 * The calls may be used from several threads at once, each thread with its own handles. */
#ifndef GBM_H
#define GBM_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(GBM_BUILDING_DLL)
#define GBMEXPORT __declspec(dllexport)
#else
#define GBMEXPORT __declspec(dllimport)
#endif
#define GBMENTRY __cdecl
#else
#define GBMEXPORT
#define GBMENTRY
#endif

typedef int GBM_ERR;

#define GBM_ERR_OK 0
#define GBM_ERR_MEM 1         /* out of memory */
#define GBM_ERR_NOT_SUPP 2    /* unknown file type, or bits per pixel that cannot be written */
#define GBM_ERR_BAD_MAGIC 3   /* not a GIF file */
#define GBM_ERR_BAD_SIZE 4    /* zero width or height, or larger than GBM_MAX_DIMENSION */
#define GBM_ERR_READ 5        /* read error or the file ends too early */
#define GBM_ERR_WRITE 6       /* write error */
#define GBM_ERR_CORRUPT 7     /* broken structure or compressed data */
#define GBM_ERR_NO_IMAGE 8    /* the file holds no image */
#define GBM_ERR_BAD_ARG 9     /* a null pointer, or a header not filled by gbm_read_header */
#define GBM_ERR_BAD_HANDLE 10 /* a handle that is not open */
#define GBM_ERR_BAD_FT 11     /* a file type that gbm_guess_filetype does not give */

/* Largest width and height read or written. */
#define GBM_MAX_DIMENSION 16384

/* File types. */
#define GBM_FT_GIF 0

/* Modes of gbm_io_open and gbm_io_create. Files are always opened as binary files;
 * GBM_O_BINARY is accepted for clarity. */
#define GBM_O_RDONLY 0x0000
#define GBM_O_WRONLY 0x0001
#define GBM_O_RDWR 0x0002
#define GBM_O_BINARY 0x8000

/* One palette record: red, green, blue. */
typedef struct {
    unsigned char r, g, b;
} GBMRGB;

/* Picture header. w, h and bpp are the caller's; priv is the library's own and carries what
 * gbm_read_header found for gbm_read_palette and gbm_read_data. */
typedef struct {
    int w, h, bpp;
    unsigned char priv[1024];
} GBM;

GBMEXPORT GBM_ERR GBMENTRY gbm_init(void);
GBMEXPORT GBM_ERR GBMENTRY gbm_deinit(void);

/* The file type from the extension of the path (".gif", any case). */
GBMEXPORT GBM_ERR GBMENTRY gbm_guess_filetype(const char* path, int* filetype);

/* Opens an existing file (gbm_io_open) or creates or truncates one (gbm_io_create); the result
 * is a handle, or -1 on failure. */
GBMEXPORT int GBMENTRY gbm_io_open(const char* path, int mode);
GBMEXPORT int GBMENTRY gbm_io_create(const char* path, int mode);
GBMEXPORT GBM_ERR GBMENTRY gbm_io_close(int handle);

/* Reads the header of the first image. w and h are those of the logical screen, the image
 * laid at its position on it; an image that does not fit on its screen stands alone. bpp is 1,
 * 4 or 8 from the size of the colour table of the image (2, up to 16, up to 256 colours).
 * Options are not used for reading; pass "". */
GBMEXPORT GBM_ERR GBMENTRY gbm_read_header(const char* path, int handle, int filetype, GBM* gbm,
                                           const char* options);
/* Fills 256 records; entries beyond the colour table are 0. */
GBMEXPORT GBM_ERR GBMENTRY gbm_read_palette(int handle, int filetype, GBM* gbm, GBMRGB* palette);
/* Fills h rows of ((w * bpp + 31) / 32) * 4 bytes. Screen pixels outside the image get the
 * background colour index. */
GBMEXPORT GBM_ERR GBMENTRY gbm_read_data(int handle, int filetype, GBM* gbm, unsigned char* data);

/* Writes a GIF87a file with a global colour table of 2, 16 or 256 colours for bpp 1, 4 or 8
 * (palette holds that many records). Options: "" or "interlace" (write the rows interlaced);
 * other option words are ignored. */
GBMEXPORT GBM_ERR GBMENTRY gbm_write(const char* path, int handle, int filetype, const GBM* gbm,
                                     const GBMRGB* palette, const unsigned char* data,
                                     const char* options);

/* A short English text for an error code. */
GBMEXPORT const char* GBMENTRY gbm_err(GBM_ERR rc);

#ifdef __cplusplus
}
#endif

#endif
