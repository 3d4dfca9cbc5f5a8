/* PNG through libpng and BMP through SDL, the two formats the launcher's
 * resources and tests use. */
#include "SDL_image.h"

#include <png.h>
#include <setjmp.h>
#include <stdlib.h>

static void readFromStream(png_structp png, png_bytep data, png_size_t length) {
    SDL_RWops* src = (SDL_RWops*)png_get_io_ptr(png);
    if (SDL_RWread(src, data, 1, (int)length) != (int)length)
        png_error(png, "the picture ends early");
}

static SDL_Surface* loadPng(SDL_RWops* src) {
    SDL_Surface* volatile surface = NULL;
    png_bytep* volatile rows = NULL;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png ? png_create_info_struct(png) : NULL;
    if (info == NULL) {
        png_destroy_read_struct(&png, NULL, NULL);
        SDL_SetError("libpng could not start");
        return NULL;
    }
    if (setjmp(png_jmpbuf(png))) {
        if (surface != NULL)
            SDL_FreeSurface(surface);
        free(rows);
        png_destroy_read_struct(&png, &info, NULL);
        SDL_SetError("damaged PNG picture");
        return NULL;
    }
    png_set_read_fn(png, src, readFromStream);
    png_read_info(png, info);

    /* Every colour type becomes 8-bit RGB or RGBA. */
    png_set_strip_16(png);
    png_set_packing(png);
    png_byte type = png_get_color_type(png, info);
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_read_update_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int channels = png_get_channels(png, info);
    if (width > 32767 || height > 32767 || (channels != 3 && channels != 4))
        png_error(png, "unusable PNG picture");
    /* Bytes in memory order R, G, B (, A) on a little-endian machine. */
    surface = SDL_CreateRGBSurface(SDL_SWSURFACE, (int)width, (int)height, channels * 8, 0x000000FF, 0x0000FF00,
                                   0x00FF0000, channels == 4 ? 0xFF000000 : 0);
    if (surface == NULL)
        png_error(png, "no memory for the picture");
    rows = (png_bytep*)malloc(sizeof(png_bytep) * (height > 0 ? height : 1));
    if (rows == NULL)
        png_error(png, "no memory for the picture");
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = (png_bytep)surface->pixels + y * surface->pitch;
    png_read_image(png, rows);
    png_read_end(png, NULL);
    free(rows);
    png_destroy_read_struct(&png, &info, NULL);
    return surface;
}

SDL_Surface* IMG_Load_RW(SDL_RWops* src, int freesrc) {
    if (src == NULL) {
        SDL_SetError("no picture given");
        return NULL;
    }
    int start = SDL_RWtell(src);
    unsigned char magic[8] = {0};
    int got = SDL_RWread(src, magic, 1, sizeof magic);
    SDL_RWseek(src, start, RW_SEEK_SET);
    SDL_Surface* surface = NULL;
    if (got == 8 && png_sig_cmp(magic, 0, 8) == 0)
        surface = loadPng(src);
    else if (got >= 2 && magic[0] == 'B' && magic[1] == 'M')
        surface = SDL_LoadBMP_RW(src, 0);
    else
        SDL_SetError("Unsupported image format");
    if (freesrc)
        SDL_RWclose(src);
    return surface;
}

SDL_Surface* IMG_Load(const char* file) {
    SDL_RWops* src = SDL_RWFromFile(file, "rb");
    return src != NULL ? IMG_Load_RW(src, 1) : NULL;
}
