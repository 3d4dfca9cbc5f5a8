/* Image loading for the Windows build: the part of the SDL_image 1.2
 * interface the programs use, over libpng (PNG) and SDL itself (BMP). */
#ifndef MORAVO_SDL_IMAGE_H
#define MORAVO_SDL_IMAGE_H

#include "SDL.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Loads a PNG or BMP picture from `src`, closing it when `freesrc` is set.
 * PNG pictures come as 24-bit RGB surfaces, or 32-bit RGBA ones with
 * SDL_SRCALPHA when they carry transparency (palettes and grey levels are
 * expanded). NULL with SDL's error set when the data is neither. */
SDL_Surface* IMG_Load_RW(SDL_RWops* src, int freesrc);
/* IMG_Load_RW of the file `file`. */
SDL_Surface* IMG_Load(const char* file);

#define IMG_GetError SDL_GetError
#define IMG_SetError SDL_SetError

#ifdef __cplusplus
}
#endif

#endif
