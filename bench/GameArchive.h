#pragma once
// A game archive as the delta and publishing benchmarks make it: assets of
// media-like random bytes (already compressed textures and sounds) and of
// text, markup and numbers, taking turns, each behind a line naming it.
// The bytes of an asset come from its seed alone, so that a next version
// can rewrite, insert or remove assets and keep the others' bytes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace benchkit {

struct Asset {
    std::string name;
    bool media = false;
    uint32_t size = 0;
    uint64_t seed = 0; // its bytes come from this seed alone
};

inline const char* const textWords[] = {
    "sprite", "mesh",   "texture", "level",  "npc",   "dialog", "quest", "item",  "sword", "shield", "potion",
    "gold",   "town",   "harbour", "market", "guard", "door",   "key",   "chest", "spell", "fire",   "water",
    "stone",  "forest", "bridge",  "tower",  "night", "rain",   "wind",  "song",  "boat",  "lamp"};
inline const char* const textTags[] = {"item", "npc", "quest", "spawn", "light", "sound", "door", "shop"};

inline const char* textWord(uint64_t bits) {
    return textWords[bits % (sizeof textWords / sizeof *textWords)];
}

// Lines of markup, assignments and dialogue with ids and numbers: text that
// zlib packs about fourfold.
inline void appendTextLine(uint64_t r, std::string& out) {
    switch ((r >> 60) % 3) {
    case 0:
        out.append("<").append(textTags[r % 8]).append(" id=\"").append(std::to_string((r >> 3) % 100000));
        out.append("\" name=\"").append(textWord(r >> 20)).append("_").append(textWord(r >> 25));
        out.append("\" weight=\"").append(std::to_string((r >> 30) % 100)).append(".");
        out.append(std::to_string((r >> 40) % 100)).append("\"/>\n");
        break;
    case 1:
        out.append("  ").append(textWord(r)).append(".").append(textWord(r >> 5)).append(" = ");
        out.append(std::to_string((r >> 10) % 10000)).append(";\n");
        break;
    default:
        out.append("dialog.")
            .append(textWord(r))
            .append(" = \"The ")
            .append(textWord(r >> 5))
            .append(" of the ");
        out.append(textWord(r >> 10))
            .append(" is ")
            .append(textWord(r >> 15))
            .append(" ")
            .append(textWord(r >> 20));
        out.append(".\"\n");
    }
}

inline void assetBytes(const Asset& asset, std::string& out) {
    std::mt19937_64 random(asset.seed);
    out.clear();
    out.reserve(asset.size + 128);
    while (out.size() < asset.size) {
        const uint64_t r = random();
        if (asset.media)
            out.append(reinterpret_cast<const char*>(&r), sizeof r);
        else
            appendTextLine(r, out);
    }
    out.resize(asset.size);
}

// Even numbers are media, odd ones text.
inline Asset makeAsset(std::mt19937_64& random, int number, uint32_t size) {
    Asset asset;
    asset.media = number % 2 == 0;
    asset.name = asset.media ? "textures/t" + std::to_string(number) + ".dds"
                             : "scripts/s" + std::to_string(number) + ".xml";
    asset.size = size;
    asset.seed = random();
    return asset;
}

/// `count` assets adding up to `total` bytes, their sizes varying about
/// ninefold around the mean; media and text taking turns.
inline std::vector<Asset> archiveAssets(std::mt19937_64& random, int count, int64_t total) {
    std::vector<double> weights(static_cast<size_t>(count));
    double sum = 0;
    for (double& weight : weights)
        sum += (weight = 0.2 + static_cast<double>(random() % 1600) / 1000);
    std::vector<Asset> assets;
    int64_t left = total;
    for (int i = 0; i < count; ++i) {
        const int64_t size = i + 1 == count ? left : static_cast<int64_t>(total * weights[i] / sum);
        left -= size;
        assets.push_back(makeAsset(random, i, static_cast<uint32_t>(size)));
    }
    return assets;
}

// Each asset behind a line naming it, as a tar-like pack has it.
inline int64_t writeArchive(const std::string& path, const std::vector<Asset>& assets) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    std::string bytes;
    int64_t written = 0;
    for (const Asset& asset : assets) {
        const std::string head =
            "<asset name=\"" + asset.name + "\" size=\"" + std::to_string(asset.size) + "\">\n";
        assetBytes(asset, bytes);
        out << head << bytes;
        written += static_cast<int64_t>(head.size() + bytes.size());
    }
    return out.flush() ? written : -1;
}

} // namespace benchkit
