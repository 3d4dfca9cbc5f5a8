/* Sections: library and fonts; glyph metrics; measuring; drawing. */
#include "SDL_ttf.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdlib.h>
#include <string.h>

/* 26.6 fixed point to whole pixels. */
#define FLOOR26(x) (((x) & -64) / 64)
#define CEIL26(x) ((((x) + 63) & -64) / 64)

/* [SECTION] library and fonts */

typedef struct {
    int known;
    FT_UInt index;
    int minx, maxx, miny, maxy, yoffset, advance;
} Metrics;

struct _TTF_Font {
    FT_Face face;
    int height, ascent, descent, lineskip;
    /* Metrics of the first 256 characters, filled as they are met. */
    Metrics cache[256];
};

static FT_Library library;
static int initCount;

int TTF_Init(void) {
    if (initCount == 0 && FT_Init_FreeType(&library) != 0) {
        SDL_SetError("FreeType could not start");
        return -1;
    }
    ++initCount;
    return 0;
}

int TTF_WasInit(void) {
    return initCount;
}

void TTF_Quit(void) {
    if (initCount > 0 && --initCount == 0)
        FT_Done_FreeType(library);
}

TTF_Font* TTF_OpenFontIndex(const char* file, int ptsize, long index) {
    if (initCount == 0) {
        SDL_SetError("Library not initialized");
        return NULL;
    }
    TTF_Font* font = (TTF_Font*)calloc(1, sizeof *font);
    if (font == NULL) {
        SDL_OutOfMemory();
        return NULL;
    }
    if (FT_New_Face(library, file, index, &font->face) != 0) {
        SDL_SetError("Couldn't load font file");
        free(font);
        return NULL;
    }
    FT_Face face = font->face;
    if (FT_IS_SCALABLE(face)) {
        if (FT_Set_Char_Size(face, 0, ptsize * 64, 0, 0) != 0) {
            SDL_SetError("Couldn't set font size");
            TTF_CloseFont(font);
            return NULL;
        }
        FT_Fixed scale = face->size->metrics.y_scale;
        font->ascent = CEIL26(FT_MulFix(face->ascender, scale));
        font->descent = CEIL26(FT_MulFix(face->descender, scale));
        font->lineskip = CEIL26(FT_MulFix(face->height, scale));
    } else {
        /* A bitmap font: the strike nearest the size asked for. */
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i)
            if (abs(face->available_sizes[i].height - ptsize) < abs(face->available_sizes[best].height - ptsize))
                best = i;
        if (face->num_fixed_sizes == 0 || FT_Select_Size(face, best) != 0) {
            SDL_SetError("Couldn't set font size");
            TTF_CloseFont(font);
            return NULL;
        }
        font->ascent = FLOOR26(face->size->metrics.ascender);
        font->descent = FLOOR26(face->size->metrics.descender);
        font->lineskip = FLOOR26(face->size->metrics.height);
    }
    /* The baseline's own row counts too. */
    font->height = font->ascent - font->descent + 1;
    return font;
}

TTF_Font* TTF_OpenFont(const char* file, int ptsize) {
    return TTF_OpenFontIndex(file, ptsize, 0);
}

void TTF_CloseFont(TTF_Font* font) {
    if (font == NULL)
        return;
    if (font->face != NULL)
        FT_Done_Face(font->face);
    free(font);
}

int TTF_FontHeight(const TTF_Font* font) {
    return font->height;
}

int TTF_FontAscent(const TTF_Font* font) {
    return font->ascent;
}

int TTF_FontDescent(const TTF_Font* font) {
    return font->descent;
}

int TTF_FontLineSkip(const TTF_Font* font) {
    return font->lineskip;
}

/* [SECTION] glyph metrics */

/* Answers the metrics of `ch`; with `draw` its glyph is also loaded into the
 * face's slot. NULL when FreeType cannot load it. */
static const Metrics* loadGlyph(TTF_Font* font, Uint16 ch, Metrics* scratch, int draw) {
    Metrics* m = ch < 256 ? &font->cache[ch] : scratch;
    if (m->known && !draw)
        return m;
    FT_UInt index = m->known ? m->index : FT_Get_Char_Index(font->face, ch);
    if (FT_Load_Glyph(font->face, index, FT_LOAD_DEFAULT) != 0) {
        SDL_SetError("Couldn't load glyph");
        return NULL;
    }
    if (!m->known) {
        const FT_Glyph_Metrics* g = &font->face->glyph->metrics;
        m->index = index;
        m->minx = FLOOR26(g->horiBearingX);
        m->maxx = m->minx + CEIL26(g->width);
        m->maxy = FLOOR26(g->horiBearingY);
        m->miny = m->maxy - CEIL26(g->height);
        m->yoffset = font->ascent - m->maxy;
        m->advance = CEIL26(g->horiAdvance);
        m->known = 1;
    }
    return m;
}

static int kerning(TTF_Font* font, FT_UInt previous, FT_UInt index) {
    FT_Vector delta;
    if (previous == 0 || index == 0 || !FT_HAS_KERNING(font->face) ||
        FT_Get_Kerning(font->face, previous, index, FT_KERNING_DEFAULT, &delta) != 0)
        return 0;
    return (int)(delta.x >> 6);
}

/* The text as zero-ended UCS-2, from Latin-1 (`utf8` 0) or UTF-8. Broken
 * UTF-8 sequences give U+FFFD. */
static Uint16* toUnicode(const char* text, int utf8) {
    size_t length = strlen(text);
    Uint16* out = (Uint16*)malloc((length + 1) * sizeof(Uint16));
    if (out == NULL) {
        SDL_OutOfMemory();
        return NULL;
    }
    size_t n = 0;
    const unsigned char* s = (const unsigned char*)text;
    while (*s != 0) {
        Uint32 c = *s++;
        if (utf8 && c >= 0x80) {
            int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
            c = more == 3 ? c & 0x07 : more == 2 ? c & 0x0F : c & 0x1F;
            for (int i = 0; i < more; ++i) {
                if ((*s & 0xC0) != 0x80) {
                    more = -1;
                    break;
                }
                c = (c << 6) | (*s++ & 0x3F);
            }
            if (more < 0 || c > 0xFFFF)
                c = 0xFFFD;
        }
        out[n++] = (Uint16)c;
    }
    out[n] = 0;
    return out;
}

/* [SECTION] measuring */

/* The box of the text and, in `left`, where the first glyph's origin lies
 * in it. */
static int measure(TTF_Font* font, const Uint16* text, int* w, int* h, int* left) {
    int x = 0, minx = 0, maxx = 0;
    FT_UInt previous = 0;
    for (const Uint16* at = text; *at != 0; ++at) {
        Metrics scratch = {0};
        const Metrics* m = loadGlyph(font, *at, &scratch, 0);
        if (m == NULL)
            return -1;
        x += kerning(font, previous, m->index);
        previous = m->index;
        if (x + m->minx < minx)
            minx = x + m->minx;
        int right = x + (m->advance > m->maxx ? m->advance : m->maxx);
        if (right > maxx)
            maxx = right;
        x += m->advance;
    }
    if (w != NULL)
        *w = maxx - minx;
    if (h != NULL)
        *h = font->height;
    if (left != NULL)
        *left = -minx;
    return 0;
}

int TTF_SizeUNICODE(TTF_Font* font, const Uint16* text, int* w, int* h) {
    return measure(font, text, w, h, NULL);
}

static int sizeOf(TTF_Font* font, const char* text, int utf8, int* w, int* h) {
    Uint16* unicode = toUnicode(text, utf8);
    if (unicode == NULL)
        return -1;
    int rc = measure(font, unicode, w, h, NULL);
    free(unicode);
    return rc;
}

int TTF_SizeText(TTF_Font* font, const char* text, int* w, int* h) {
    return sizeOf(font, text, 0, w, h);
}

int TTF_SizeUTF8(TTF_Font* font, const char* text, int* w, int* h) {
    return sizeOf(font, text, 1, w, h);
}

/* [SECTION] drawing */

SDL_Surface* TTF_RenderUNICODE_Blended(TTF_Font* font, const Uint16* text, SDL_Color fg) {
    int width = 0, height = 0, left = 0;
    if (measure(font, text, &width, &height, &left) != 0)
        return NULL;
    if (width <= 0) {
        SDL_SetError("Text has zero width");
        return NULL;
    }
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x00FF0000, 0x0000FF00,
                                                0x000000FF, 0xFF000000);
    if (surface == NULL)
        return NULL;
    const Uint32 colour = ((Uint32)fg.r << 16) | ((Uint32)fg.g << 8) | fg.b;
    for (int y = 0; y < height; ++y) {
        Uint32* row = (Uint32*)((Uint8*)surface->pixels + y * surface->pitch);
        for (int x = 0; x < width; ++x)
            row[x] = colour;
    }
    int x = left;
    FT_UInt previous = 0;
    for (const Uint16* at = text; *at != 0; ++at) {
        Metrics scratch = {0};
        const Metrics* m = loadGlyph(font, *at, &scratch, 1);
        if (m == NULL || FT_Render_Glyph(font->face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            SDL_FreeSurface(surface);
            return NULL;
        }
        x += kerning(font, previous, m->index);
        previous = m->index;
        const FT_Bitmap* bitmap = &font->face->glyph->bitmap;
        for (unsigned row = 0; row < bitmap->rows; ++row) {
            int y = m->yoffset + (int)row;
            if (y < 0 || y >= height)
                continue;
            const unsigned char* src = bitmap->buffer + (int)row * bitmap->pitch;
            Uint32* dst = (Uint32*)((Uint8*)surface->pixels + y * surface->pitch);
            for (unsigned col = 0; col < bitmap->width; ++col) {
                int px = x + m->minx + (int)col;
                if (px < 0 || px >= width)
                    continue;
                Uint32 alpha = src[col];
                if (alpha > (dst[px] >> 24))
                    dst[px] = colour | (alpha << 24);
            }
        }
        x += m->advance;
    }
    return surface;
}

static SDL_Surface* renderText(TTF_Font* font, const char* text, int utf8, SDL_Color fg) {
    Uint16* unicode = toUnicode(text, utf8);
    if (unicode == NULL)
        return NULL;
    SDL_Surface* surface = TTF_RenderUNICODE_Blended(font, unicode, fg);
    free(unicode);
    return surface;
}

SDL_Surface* TTF_RenderText_Blended(TTF_Font* font, const char* text, SDL_Color fg) {
    return renderText(font, text, 0, fg);
}

SDL_Surface* TTF_RenderUTF8_Blended(TTF_Font* font, const char* text, SDL_Color fg) {
    return renderText(font, text, 1, fg);
}
