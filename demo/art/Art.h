#pragma once
// The demo installation's artwork: every picture of its "res" folder.
#include "demo/art/Paint.h"

#include <string>

namespace art {

/// The fonts the artwork is lettered with, opened from the folder given.
struct Fonts {
    TTF_Font* small = nullptr; // captions, credits text
    TTF_Font* bold = nullptr;  // credits headings
    TTF_Font* title = nullptr; // picture titles
    TTF_Font* logo = nullptr;  // the logo's letters
    bool open(const std::string& folder);
    void close();
};

/// The house colours.
namespace palette {
const Colour night = Colour::rgb(0x0B1522);
const Colour deep = Colour::rgb(0x12233A);
const Colour panel = Colour::rgb(0x172B42);
const Colour line = Colour::rgb(0x46739C);
const Colour light = Colour::rgb(0x9CC8EC);
const Colour amber = Colour::rgb(0xF2A93B);
const Colour gold = Colour::rgb(0xFFD36E);
const Colour white = Colour::rgb(0xFFFFFF);
} // namespace palette

/// A picture and the file name it is saved under.
struct Named {
    std::string file;
    Picture picture;
};

/// Writes every look of the controls (frames, buttons, boxes, bars,
/// scroll bars) into `folder`; false when a file cannot be written.
bool writeLooks(const std::string& folder);
/// Writes the window background, the logo, the application icon, the
/// pictures of the picture show and the credits into `folder`.
bool writeScenes(const std::string& folder, const Fonts& fonts);

// Sizes the layout file and the launcher's layout agree on.
constexpr int kWindowW = 640, kWindowH = 480;
constexpr int kShowW = 614, kShowH = 260; // inside the picture show's frame
constexpr int kCreditsW = 174;            // inside the credits panel's border
constexpr int kLogoW = 300, kLogoH = 44;

} // namespace art
