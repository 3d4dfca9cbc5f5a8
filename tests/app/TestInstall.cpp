#include "tests/app/TestInstall.h"

#include <SDL.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace apptest {

namespace {

void saveBitmap(const std::string& path, int w, int h, Uint32 rgb) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_FillRect(s, nullptr, rgb);
    SDL_Rect stripe{0, 0, static_cast<Uint16>(w), 2};
    SDL_FillRect(s, &stripe, rgb ^ 0x404040);
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
}

} // namespace

void TestInstall::writeConnection(int port, const std::string& updateUrl,
                                  const std::optional<std::string>& updateKey) const {
    const std::string key = updateKey ? " key=\"" + *updateKey + "\"" : "";
    write("ZEP_client.xml", "<?xml version=\"1.0\"?>\n<ZEP>\n <server address=\"127.0.0.1\" port=\"" +
                                std::to_string(port) + "\" ssl=\"" + (tls_ ? "1" : "0") +
                                "\"/>\n <update url=\"" + updateUrl + "\"" + key + "/>\n</ZEP>\n");
}

std::string TestInstall::layout() {
    return R"(# test installation
tick = 40
caption = 'Moravo Test'
winsize = (640,480)
button_size = (100,26)
checkbox_size = (18,18)
menu_button_size = (150,24)
credits_pos = (400,60)
credits_size = (200,150)
catalog_timeout = 5
do_login = 1
font1 = TTFont : { file = DejaVuSans.ttf; size = 12 }
font2 = TTFont : { file = DejaVuSans-Bold.ttf; size = 14 }
panel = LFrame : { fill = (30,40,60); border = (200,200,220); width = 2 }
field = LFrame : { fill = (250,250,250); border = (90,90,120) }
barfg = LFrame : { fill = (60,160,60); border = (255,255,255) }
barbg = LFrame : { fill = (20,20,20); border = (255,255,255) }
btn = LFrame : { fill = (70,90,140); border = (220,220,250) }
btnover = LFrame : { fill = (90,120,180); border = (255,255,255) }
btnpress = LFrame : { fill = (40,60,100); border = (255,255,255) }
btndis = LFrame : { fill = (80,80,80); border = (120,120,120) }
tile = PFrame : { image = tile.bmp; widths = (4,8,4); heights = (4,8,4) }
caption_frame = LFrame : { fill = (10,10,30) }
caption_button_style = ButtonStyle : { normal = @btn }
images = ImageList : { { source = pictures.bmp; sizes = (300,150) } }
credits = ImageList : { { source = credits.bmp; keyc = 0 } }
logo = Image : { logo.bmp }
pict_frame = LFrame : { border = (255,255,255) }
control_frame = $panel
options_frame = $field
credits_frame = LFrame : { border = (255,255,0) }
menu_frame = $tile
bar_style = ProgressFrameStyle : { frame = @barbg; fg = @barfg; bg = @barbg; border = 2 }
button_style = ButtonStyle : { border = 2; normal = @btn; over = @btnover; pressed = @btnpress; disabled = @btndis }
menu_style = TableStyle : { frame = @panel; even = @btn; odd = @btnover }
menu_item_style = ListItemStyle : { over = @btnover; selected = @btnpress }
menu_button_style = PushButtonStyle : { off = @button_style; on = @button_style }
checkbox_style = PushButtonStyle : { off = @offbox; on = @onbox }
offbox = ButtonStyle : { normal = @field }
onbox = ButtonStyle : { normal = @barfg }
videomode_scroll_style = ScrollStyle : { up = @button_style; down = @button_style; marker = @button_style; icon_size = 16 }
quality_scroll_style3 = ScrollStyle : { type = horizontal; up = @button_style; down = @button_style; marker = @button_style; icon_size = 16 }
quality_scroll_style4 = $quality_scroll_style3
quality_scroll_style5 = $quality_scroll_style3
)";
}

std::string TestInstall::configText() {
    std::string text = ".Render\n{\n";
    const char* names[] = {"1. Minima", "2. Baja", "3. Media", "4. Alta", "5. Maxima"};
    for (int p = 0; p < 5; ++p) {
        text += "\t.Preset" + std::to_string(p) + "\n\t{\n";
        text += "\t\t.Name { \"" + std::string(names[p]) + "\" }\n";
        text += "\t\t.Antialiasing { " + std::to_string(p / 2 * 2) + " }\n";
        text += "\t\t.ShadowSize { " + std::to_string(p * 256) + " }\n";
        text += "\t\t.Display { 1024 768 60 }\n";
        text += "\t}\n";
    }
    return text + "}\n";
}

TestInstall::TestInstall(int port, bool tls) {
    namespace fs = std::filesystem;
    fs::create_directories(dir() + "/res");
    fs::create_directories(dir() + "/Game.moravo");
    write("res/res.txt", layout());
    saveBitmap(dir() + "/res/tile.bmp", 16, 16, 0x334455);
    saveBitmap(dir() + "/res/pictures.bmp", 600, 150, 0x224466);
    saveBitmap(dir() + "/res/credits.bmp", 200, 400, 0x111111);
    saveBitmap(dir() + "/res/logo.bmp", 200, 32, 0x662222);
    for (const char* font : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
        testkit::linkOrCopy(std::string(MORAVO_FONTS "/") + font, dir() + "/res/" + font);
    tls_ = tls;
    writeConnection(port, "127.0.0.1:1/none");
    write("Game.moravo/Config.txt", configText());
    write("Game.moravo/Launch.txt",
          ".Render\n{\n\t.ID Preset2 \n\t.Screen Window \n\t.Display { 800 600 60 }\n}\n");
}

} // namespace apptest
