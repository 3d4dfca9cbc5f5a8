// The pictures: the window's background, the logo and icon, the four views
// of the town shown by the picture show, and the credits.
//   [town]     skylines, lit windows, clouds
//   [scenes]   the four views
//   [credits]  the credits roll
//   [write]    saving every picture
#include "demo/art/Art.h"

#include <SDL_ttf.h>

#include <cmath>

namespace art {

namespace {

using namespace palette;
using Points = std::vector<std::pair<float, float>>;

// [town] ----------------------------------------------------------------------

struct SkylineLook {
    Colour body;
    Colour window;
    float litShare; // share of the windows that are lit
    int minH, maxH;
    int minW, maxW;
};

// A row of buildings standing on `baseY`, from x0 to x1, some with a roof,
// a dome or a tower, their windows lit at random.
void skyline(Picture& p, float baseY, int x0, int x1, const SkylineLook& look, Random& random) {
    int x = x0;
    while (x < x1) {
        int w = random.range(look.minW, look.maxW);
        int h = random.range(look.minH, look.maxH);
        float top = baseY - float(h);
        p.fillRect(x, int(top), w, int(baseY - top) + 1, look.body);
        switch (random.range(0, 5)) {
        case 0: // pitched roof
            p.polygon({{float(x) - 1, top}, {float(x + w) + 1, top}, {float(x) + w / 2.0f, top - w * 0.45f}},
                      look.body);
            break;
        case 1: // dome
            p.disc(float(x) + w / 2.0f, top, w * 0.32f, look.body);
            break;
        case 2: // bell tower
            p.fillRect(x + w / 2 - 3, int(top) - 14, 6, 15, look.body);
            p.polygon({{float(x + w / 2) - 5, top - 14},
                       {float(x + w / 2) + 5, top - 14},
                       {float(x + w / 2), top - 24}},
                      look.body);
            break;
        default:
            break;
        }
        for (int wy = int(top) + 6; wy < int(baseY) - 6; wy += 9)
            for (int wx = x + 4; wx < x + w - 5; wx += 7)
                if (random.unit() < look.litShare)
                    p.fillRect(wx, wy, 3, 4,
                               look.window.withAlpha(look.window.a * (0.6f + 0.4f * random.unit())));
        x += w + random.range(0, 3);
    }
}

void stars(Picture& p, int count, int maxY, Random& random) {
    for (int i = 0; i < count; ++i) {
        float x = float(random.range(0, p.width() - 1)), y = float(random.range(0, maxY));
        p.disc(x, y, 0.5f + random.unit() * 0.7f, white.withAlpha(0.25f + random.unit() * 0.6f));
    }
}

void cloud(Picture& p, float cx, float cy, float size, const Colour& c) {
    p.disc(cx, cy, size, c);
    p.disc(cx - size * 1.1f, cy + size * 0.3f, size * 0.75f, c);
    p.disc(cx + size * 1.2f, cy + size * 0.25f, size * 0.8f, c);
    p.disc(cx + size * 0.3f, cy - size * 0.45f, size * 0.7f, c);
}

void caption(Picture& p, const Fonts& fonts, const std::string& title) {
    int y = p.height() - 34;
    for (int i = 0; i < 320; ++i) // a dark band fading to the right, under the title
        p.fillRect(i, y - 6, 1, 40, Colour{0, 0, 0, 0.45f * (1 - float(i) / 320.0f)});
    p.textShadowed(fonts.title, title, 14, y, white);
}

// [scenes] --------------------------------------------------------------------

Picture plaza(const Fonts& fonts) {
    Picture p(kShowW, kShowH);
    Random random(11);
    p.gradient(0, 0, kShowW, 150, Colour::rgb(0x29406E), Colour::rgb(0xF39C5C));
    p.gradient(0, 150, kShowW, 60, Colour::rgb(0xF39C5C), Colour::rgb(0xFFD39C));
    p.glow(200, 128, 130, Colour::rgb(0xFFE0A0, 0.55f));
    p.disc(200, 128, 26, Colour::rgb(0xFFF1C8));
    p.polygon({{0, 190}, {120, 160}, {260, 182}, {420, 150}, {614, 178}, {614, 260}, {0, 260}},
              Colour::rgb(0x7A5272, 0.75f));
    skyline(p, 212, -10, 630, {Colour::rgb(0x3B2A47), Colour::rgb(0xFFC66B, 0.8f), 0.25f, 35, 80, 26, 52},
            random);
    // The clock tower of the square.
    p.fillRect(288, 92, 38, 121, Colour::rgb(0x32233D));
    p.polygon({{282, 92}, {332, 92}, {307, 58}}, Colour::rgb(0x32233D));
    p.disc(307, 112, 10, Colour::rgb(0xFFE6B0));
    p.line(307, 112, 307, 105, 1.6f, Colour::rgb(0x32233D));
    p.line(307, 112, 312, 114, 1.6f, Colour::rgb(0x32233D));
    p.gradient(0, 212, kShowW, 48, Colour::rgb(0x2C1F2E), Colour::rgb(0x1C1420));
    for (int x = -40; x < kShowW + 40; x += 34) // the paving, drawn in perspective
        p.line(307 + (x - 307) * 0.35f, 213, float(x), 260, 1, Colour::rgb(0x4A3448, 0.7f));
    caption(p, fonts, "La Plaza Mayor al amanecer");
    return p;
}

Picture harbour(const Fonts& fonts) {
    Picture p(kShowW, kShowH);
    Random random(23);
    p.gradient(0, 0, kShowW, 170, Colour::rgb(0x4E98D6), Colour::rgb(0xCFE8F7));
    p.glow(470, 50, 90, Colour::rgb(0xFFFFFF, 0.6f));
    p.disc(470, 50, 18, Colour::rgb(0xFFFBE8));
    cloud(p, 140, 52, 16, white.withAlpha(0.85f));
    cloud(p, 330, 88, 11, white.withAlpha(0.7f));
    skyline(p, 170, 400, 640, {Colour::rgb(0x8AA3B8), Colour::rgb(0xFFFFFF, 0.5f), 0.15f, 22, 60, 18, 34},
            random);
    p.gradient(0, 170, kShowW, 90, Colour::rgb(0x2F76A6), Colour::rgb(0x17405F));
    for (int i = 0; i < 70; ++i) { // light on the water
        float x = float(random.range(0, kShowW)), y = float(random.range(176, 255));
        p.line(x, y, x + 10 + random.unit() * 14, y, 1.2f, white.withAlpha(0.25f));
    }
    // The lighthouse on its rocks.
    p.polygon({{20, 175}, {110, 175}, {120, 200}, {0, 200}, {0, 180}}, Colour::rgb(0x3D4A52));
    p.polygon({{52, 175}, {78, 175}, {72, 90}, {58, 90}}, white);
    p.fillRect(58, 112, 16, 8, Colour::rgb(0xC8423A));
    p.fillRect(60, 140, 14, 8, Colour::rgb(0xC8423A));
    p.fillRect(55, 78, 20, 13, Colour::rgb(0x2C3A44));
    p.glow(65, 84, 34, Colour::rgb(0xFFE9A0, 0.8f));
    // Boats.
    struct Boat {
        float x, y, s;
        uint32_t hull, sail;
    };
    for (const Boat& b : {Boat{210, 214, 1.0f, 0xB5452E, 0xF6F1E4}, Boat{330, 196, 0.7f, 0x2F4F6E, 0xF2D08A},
                          Boat{450, 228, 1.2f, 0x1F3A4F, 0xFFFFFF}}) {
        p.polygon({{b.x - 34 * b.s, b.y},
                   {b.x + 34 * b.s, b.y},
                   {b.x + 24 * b.s, b.y + 12 * b.s},
                   {b.x - 26 * b.s, b.y + 12 * b.s}},
                  Colour::rgb(b.hull));
        p.line(b.x, b.y, b.x, b.y - 52 * b.s, 2, Colour::rgb(0x3A2C20));
        p.polygon({{b.x + 2, b.y - 50 * b.s}, {b.x + 2, b.y - 4}, {b.x + 30 * b.s, b.y - 4}},
                  Colour::rgb(b.sail));
        p.polygon({{b.x - 2, b.y - 42 * b.s}, {b.x - 2, b.y - 4}, {b.x - 20 * b.s, b.y - 4}},
                  Colour::rgb(b.sail, 0.85f));
    }
    caption(p, fonts, "El puerto");
    return p;
}

Picture nightQuarter(const Fonts& fonts) {
    Picture p(kShowW, kShowH);
    Random random(37);
    p.gradient(0, 0, kShowW, kShowH, Colour::rgb(0x040812), Colour::rgb(0x22365E));
    stars(p, 160, 150, random);
    p.glow(120, 56, 60, Colour::rgb(0xCFE3FF, 0.35f));
    p.disc(120, 56, 20, Colour::rgb(0xF4F4E8));
    p.disc(129, 50, 18, Colour::rgb(0x070D1A)); // the crescent's shadow
    skyline(p, 200, -10, 630, {Colour::rgb(0x16223A), Colour::rgb(0xFFD27A, 0.55f), 0.2f, 40, 110, 30, 60},
            random);
    skyline(p, 236, -20, 640, {Colour::rgb(0x0B1220), Colour::rgb(0xFFC25C, 0.95f), 0.45f, 50, 120, 34, 70},
            random);
    p.gradient(0, 236, kShowW, 24, Colour::rgb(0x101826), Colour::rgb(0x070B12));
    for (float x : {90.0f, 250.0f, 410.0f, 560.0f}) { // street lamps
        p.line(x, 258, x, 214, 2, Colour::rgb(0x2A3448));
        p.glow(x, 212, 40, Colour::rgb(0xFFCF7A, 0.55f));
        p.disc(x, 212, 3.5f, Colour::rgb(0xFFF0C8));
    }
    caption(p, fonts, "El barrio de noche");
    return p;
}

Picture market(const Fonts& fonts) {
    Picture p(kShowW, kShowH);
    Random random(53);
    p.gradient(0, 0, kShowW, 140, Colour::rgb(0x74B8E4), Colour::rgb(0xF4E2B6));
    cloud(p, 470, 40, 14, white.withAlpha(0.8f));
    skyline(p, 170, -10, 630, {Colour::rgb(0xC98E55), Colour::rgb(0x5A3A22, 0.8f), 0.6f, 50, 100, 34, 60},
            random);
    p.gradient(0, 170, kShowW, 90, Colour::rgb(0xB59A78), Colour::rgb(0x7E6650));
    const uint32_t awnings[][2] = {
        {0xC8423A, 0xF6EEDC}, {0x2E6FA8, 0xF6EEDC}, {0xE0A22E, 0xFFF6DE}, {0x3E8A4E, 0xF6EEDC}};
    for (int s = 0; s < 4; ++s) {
        float x = 30.0f + s * 148.0f, top = 150, w = 124;
        // Counter, goods and the striped awning above.
        p.fillRect(int(x) + 6, 200, int(w) - 12, 40, Colour::rgb(0x6A4A30));
        p.fillRect(int(x) + 6, 200, int(w) - 12, 4, Colour::rgb(0x8A6440));
        for (int g = 0; g < 7; ++g) {
            uint32_t colours[] = {0xE05A3A, 0xF2C24A, 0x7DBA4A, 0xE8873A};
            p.disc(x + 16 + g * 15.5f, 196, 6, Colour::rgb(colours[(g + s) % 4]));
        }
        p.line(x + 8, 240, x + 8, top + 20, 3, Colour::rgb(0x4A3424));
        p.line(x + w - 8, 240, x + w - 8, top + 20, 3, Colour::rgb(0x4A3424));
        for (int k = 0; k < 8; ++k) {
            float sx = x + k * w / 8;
            p.polygon({{sx, top}, {sx + w / 8, top}, {sx + w / 8 + 2, top + 24}, {sx + 2, top + 24}},
                      Colour::rgb(awnings[s][k % 2]));
        }
        for (int k = 0; k < 8; ++k)
            p.disc(x + k * w / 8 + w / 16 + 2, top + 24, w / 16, Colour::rgb(awnings[s][k % 2]));
    }
    caption(p, fonts, "El mercado del domingo");
    return p;
}

// [credits] -------------------------------------------------------------------

Picture credits(const Fonts& fonts) {
    struct Section {
        const char* heading;
        std::vector<const char*> names;
    };
    const std::vector<Section> sections = {
        {"Dirección", {"Lucía Ferrán"}},
        {"Diseño del juego", {"Tomás Olmedo", "Irene Castaño"}},
        {"Programación", {"Marcos Villalta", "Sara Quintela", "Andrés Peñalver"}},
        {"Arte", {"Noelia Garrido", "Rubén Lastra"}},
        {"Música y sonido", {"Elena Robledo"}},
        {"Servidores", {"Javier Montoro"}},
        {"Comunidad", {"Alba Serrano"}},
        {"Pruebas", {"Los vecinos de Moravo"}},
    };
    const int w = kCreditsW;
    Picture p(w, 900);
    const int cx = w / 2;
    int y = 6;
    p.textCentred(fonts.bold, "MORAVO TOWN", cx, y, amber);
    y += 22;
    p.fillRect(cx - 40, y, 80, 1, amber.withAlpha(0.6f));
    y += 10;
    for (const char* line :
         {"Novedades de la versión", "", "· El puerto, abierto", "· Mercado los domingos",
          "· Nuevas casas en la plaza", "", "Pulsa «Créditos» para", "ver quién hace el juego."}) {
        p.textCentred(fonts.small, line, cx, y, Colour::rgb(0xDCE9F5));
        y += 17;
    }
    y += 40;
    p.textCentred(fonts.bold, "Créditos", cx, y, white);
    y += 30;
    for (const Section& s : sections) {
        p.textCentred(fonts.bold, s.heading, cx, y, amber);
        y += 20;
        for (const char* name : s.names) {
            p.textCentred(fonts.small, name, cx, y, white);
            y += 17;
        }
        y += 14;
    }
    y += 20;
    p.textCentred(fonts.bold, "¡Gracias por jugar!", cx, y, gold);
    y += 30;
    // The roll stops when its last row reaches the panel's bottom edge.
    Picture cut(w, y);
    cut.draw(p, 0, 0);
    return cut;
}

// The house and tower of the emblem, in a square `size` wide at (x, y).
void emblem(Picture& p, float x, float y, float size, const Colour& c) {
    float s = size / 32;
    p.fillRect(int(x + 6 * s), int(y + 15 * s), int(11 * s), int(14 * s), c);
    p.polygon({{x + 4 * s, y + 16 * s}, {x + 19 * s, y + 16 * s}, {x + 11.5f * s, y + 8 * s}}, c);
    p.fillRect(int(x + 19 * s), int(y + 7 * s), int(8 * s), int(22 * s), c);
    p.polygon({{x + 18 * s, y + 8 * s}, {x + 28 * s, y + 8 * s}, {x + 23 * s, y + 1 * s}}, c);
    p.fillRect(int(x + 10 * s), int(y + 21 * s), int(3 * s), int(8 * s), Colour{0, 0, 0, 0.45f});
    p.fillRect(int(x + 22 * s), int(y + 12 * s), int(2 * s), int(3 * s), Colour{0, 0, 0, 0.45f});
}

} // namespace

// [write] ---------------------------------------------------------------------

bool writeScenes(const std::string& folder, const Fonts& fonts) {
    std::vector<Named> pictures;

    {
        Picture p(kWindowW, kWindowH);
        Random random(5);
        p.gradient(0, 0, kWindowW, kWindowH, Colour::rgb(0x13243A), Colour::rgb(0x060B13));
        p.glow(320, 40, 420, Colour::rgb(0x24507A, 0.45f));
        stars(p, 70, 220, random);
        skyline(p, 481, -10, 650,
                {Colour::rgb(0x0B1422), Colour::rgb(0xF2A93B, 0.35f), 0.12f, 40, 120, 30, 64}, random);
        pictures.push_back({"background.png", std::move(p)});
    }
    {
        Picture p(kLogoW, kLogoH);
        emblem(p, 8, 5, 34, amber);
        int x = 50;
        p.textGradient(fonts.logo, "MORAVO", x + 1, 6, Colour{0, 0, 0, 0.5f}, Colour{0, 0, 0, 0.5f});
        p.textGradient(fonts.logo, "MORAVO", x, 5, gold, amber);
        x += textWidth(fonts.logo, "MORAVO ");
        p.textGradient(fonts.logo, "TOWN", x + 1, 6, Colour{0, 0, 0, 0.5f}, Colour{0, 0, 0, 0.5f});
        p.textGradient(fonts.logo, "TOWN", x, 5, Colour::rgb(0xE4F1FC), light);
        pictures.push_back({"logo.png", std::move(p)});
    }
    {
        Picture p(32, 32);
        p.roundRect(0, 0, 32, 32, 6, Colour::rgb(0x1E3A5C), night, line, 1);
        emblem(p, 2, 3, 28, amber);
        pictures.push_back({"AppIcon.png", std::move(p)});
    }
    // The picture show's pictures are opaque, on a dark ground where a
    // scene leaves a gap.
    auto opaque = [](const Picture& scene) {
        Picture p(scene.width(), scene.height());
        p.fill(night);
        p.draw(scene, 0, 0);
        return p;
    };
    pictures.push_back({"show-plaza.png", opaque(plaza(fonts))});
    pictures.push_back({"show-harbour.png", opaque(harbour(fonts))});
    pictures.push_back({"show-night.png", opaque(nightQuarter(fonts))});
    pictures.push_back({"show-market.png", opaque(market(fonts))});
    pictures.push_back({"credits.png", credits(fonts)});

    for (const Named& named : pictures)
        if (!named.picture.savePng(folder + "/" + named.file))
            return false;
    return true;
}

} // namespace art
