/* TrueType text for the Windows build: the part of the SDL_ttf 2.0
 * interface the programs use, over FreeType. Text is drawn with FreeType's
 * hinting and anti-aliasing; a text's box is as high as the font, and as wide
 * as its glyphs' advances and overhangs. */
#ifndef MORAVO_SDL_TTF_H
#define MORAVO_SDL_TTF_H

#include "SDL.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _TTF_Font TTF_Font;

/* 0 on success, -1 (with SDL's error set) when FreeType cannot start. Calls
 * nest: each TTF_Init needs its TTF_Quit. */
int TTF_Init(void);
int TTF_WasInit(void);
void TTF_Quit(void);

/* Opens face `index` of the font file at `ptsize` points (72 dpi); NULL with
 * SDL's error set when it cannot. */
TTF_Font* TTF_OpenFont(const char* file, int ptsize);
TTF_Font* TTF_OpenFontIndex(const char* file, int ptsize, long index);
void TTF_CloseFont(TTF_Font* font);

int TTF_FontHeight(const TTF_Font* font);
int TTF_FontAscent(const TTF_Font* font);
int TTF_FontDescent(const TTF_Font* font);
int TTF_FontLineSkip(const TTF_Font* font);

/* The size of a text's box: Latin-1, UTF-8 or zero-ended UCS-2 text. 0 on
 * success. */
int TTF_SizeText(TTF_Font* font, const char* text, int* w, int* h);
int TTF_SizeUTF8(TTF_Font* font, const char* text, int* w, int* h);
int TTF_SizeUNICODE(TTF_Font* font, const Uint16* text, int* w, int* h);

/* A 32-bit ARGB surface with SDL_SRCALPHA holding the text in `fg`, its
 * coverage in the alpha channel; NULL for an empty text or on failure. */
SDL_Surface* TTF_RenderText_Blended(TTF_Font* font, const char* text, SDL_Color fg);
SDL_Surface* TTF_RenderUTF8_Blended(TTF_Font* font, const char* text, SDL_Color fg);
SDL_Surface* TTF_RenderUNICODE_Blended(TTF_Font* font, const Uint16* text, SDL_Color fg);

#define TTF_GetError SDL_GetError
#define TTF_SetError SDL_SetError

#ifdef __cplusplus
}
#endif

#endif
