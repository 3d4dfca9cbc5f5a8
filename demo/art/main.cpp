// demo-art: makes the demo installation's pictures and the game's data pack.
//   demo-art res FOLDER FONTS       the pictures of "res", lettered with the
//                                   DejaVu fonts found in FONTS
//   demo-art pack FILE VERSION KIB  a data pack of KIB kibibytes whose bytes
//                                   depend on VERSION only
#include "demo/art/Art.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// On Windows SDL's header renames main for an entry point of its own; this
// console program has its plain main.
#undef main

namespace art {

bool Fonts::open(const std::string& folder) {
    small = TTF_OpenFont((folder + "/DejaVuSans.ttf").c_str(), 11);
    bold = TTF_OpenFont((folder + "/DejaVuSans-Bold.ttf").c_str(), 12);
    title = TTF_OpenFont((folder + "/DejaVuSans-Bold.ttf").c_str(), 16);
    logo = TTF_OpenFont((folder + "/DejaVuSans-Bold.ttf").c_str(), 25);
    return small != nullptr && bold != nullptr && title != nullptr && logo != nullptr;
}

void Fonts::close() {
    for (TTF_Font** font : {&small, &bold, &title, &logo}) {
        if (*font != nullptr)
            TTF_CloseFont(*font);
        *font = nullptr;
    }
}

} // namespace art

namespace {

int usage() {
    std::fprintf(stderr, "usage: demo-art res FOLDER FONTS\n"
                         "       demo-art pack FILE VERSION KIB\n");
    return 2;
}

int makePictures(const std::string& folder, const std::string& fonts) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "demo-art: %s\n", TTF_GetError());
        return 1;
    }
    art::Fonts lettering;
    bool ok = lettering.open(fonts);
    if (!ok)
        std::fprintf(stderr, "demo-art: cannot open the DejaVu fonts in %s\n", fonts.c_str());
    else if (!art::writeLooks(folder) || !art::writeScenes(folder, lettering)) {
        std::fprintf(stderr, "demo-art: cannot write into %s\n", folder.c_str());
        ok = false;
    }
    lettering.close();
    TTF_Quit();
    return ok ? 0 : 1;
}

int makePack(const std::string& file, int version, long kib) {
    // A header naming the version, then bytes that do not compress, like
    // the packed textures of a real game.
    std::string header = "MORAVO-PAK " + std::to_string(version) + "\n";
    std::vector<unsigned char> bytes(size_t(kib) * 1024);
    art::Random random(0x9E3779B9u * uint32_t(version));
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t v = random.next();
        for (size_t k = 0; k < 4 && i + k < bytes.size(); ++k)
            bytes[i + k] = static_cast<unsigned char>(v >> (8 * k));
    }
    for (size_t i = 0; i < header.size() && i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(header[i]);
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "demo-art: cannot write %s\n", file.c_str());
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "res")
        return makePictures(args[1], args[2]);
    if (args.size() == 4 && args[0] == "pack") {
        int version = std::atoi(args[2].c_str());
        long kib = std::atol(args[3].c_str());
        if (version < 1 || kib < 1)
            return usage();
        return makePack(args[1], version, kib);
    }
    return usage();
}
