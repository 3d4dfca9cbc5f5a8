// Runs "moravo-tool widgets" on the demo installation, as the layout's
// developers do.
#include "tests/common/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <vector>

namespace {

struct Placed {
    std::string view, path, kind, id, text;
    int x, y, w, h;
    bool inside(const Placed& o) const {
        return x >= o.x && y >= o.y && x + w <= o.x + o.w && y + h <= o.y + o.h;
    }
};

std::vector<Placed> placed(const std::string& output) {
    std::vector<Placed> all;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        Placed p;
        words >> p.view >> p.path >> p.kind >> p.id >> p.x >> p.y >> p.w >> p.h;
        size_t open = line.find('"');
        if (open != std::string::npos)
            p.text = line.substr(open + 1, line.size() - open - 2);
        all.push_back(p);
    }
    return all;
}

// Width and height of a PNG file, from its header.
std::pair<int, int> pngSize(const std::string& path) {
    std::string bytes = testkit::readFile(path);
    auto be32 = [&bytes](size_t at) {
        return int(uint8_t(bytes[at])) << 24 | int(uint8_t(bytes[at + 1])) << 16 |
               int(uint8_t(bytes[at + 2])) << 8 | int(uint8_t(bytes[at + 3]));
    };
    return bytes.size() >= 24 ? std::make_pair(be32(16), be32(20)) : std::make_pair(0, 0);
}

} // namespace

TEST(WidgetsCommand, TheDemoLayoutFitsTheWindowItsPanelsAndItsPictures) {
    testkit::TempDir dir;
    const std::string install = MORAVO_BINARY_DIR "/demo/install";
    testkit::ToolRun run = testkit::runTool(dir, {"widgets", install});
    ASSERT_EQ(run.code, 0) << run.err;
    std::vector<Placed> all = placed(run.out);
    ASSERT_GT(all.size(), 50u);

    auto find = [&all](const std::string& view,
                       const std::function<bool(const Placed&)>& match) -> const Placed* {
        for (const Placed& p : all)
            if (p.view == view && match(p))
                return &p;
        return nullptr;
    };
    for (const Placed& p : all) {
        SCOPED_TRACE(p.view + " " + p.path + " " + p.text);
        EXPECT_TRUE(p.inside(Placed{"", "", "", "", "", 0, 0, 640, 480}));
        if (p.view == "popup")
            continue;
        // Every widget lies inside the one that holds it.
        size_t dot = p.path.rfind('.');
        if (dot == std::string::npos)
            continue;
        const Placed* parent = find(p.view, [&](const Placed& o) { return o.path == p.path.substr(0, dot); });
        ASSERT_NE(parent, nullptr);
        EXPECT_TRUE(p.inside(*parent)) << "outside " << parent->path;
    }
    for (auto [view, ids] : {std::pair<const char*, std::vector<int>>{"login", {1010, 1011, 1001, 1012}},
                             {"wait", {1001}},
                             {"requirements", {1001, 1013}},
                             {"main", {1000, 1001, 1002, 1005, 1008, 1009}},
                             {"main-custom", {1003}},
                             {"settings", {1016, 1018, 1019}}})
        for (int id : ids)
            EXPECT_NE(find(view, [id](const Placed& p) { return p.id == std::to_string(id); }), nullptr)
                << view << " " << id;
    // "Reintentar" shows only after a failed update.
    EXPECT_EQ(find("main", [](const Placed& p) { return p.id == "1006"; }), nullptr);

    // The pictures are made for the picture show, and the credits sit in
    // it, above the version.
    const Placed* show = find("main", [](const Placed& p) { return p.kind == "AnimWidget"; });
    ASSERT_NE(show, nullptr);
    for (const char* picture : {"show-plaza.png", "show-harbour.png", "show-night.png", "show-market.png"})
        EXPECT_EQ(pngSize(install + "/res/" + picture), std::make_pair(int(show->w), int(show->h)))
            << picture;
    const Placed* credits = find("credits", [](const Placed& p) { return p.path == "0.0"; });
    const Placed* version = find("main", [](const Placed& p) { return p.text == "1.2.0.12555"; });
    ASSERT_NE(credits, nullptr);
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(credits->inside(*show));
    EXPECT_LE(credits->y + credits->h, version->y);
    EXPECT_EQ(pngSize(install + "/res/credits.png").first, credits->w - 2 * 8); // inside "credits_border"

    EXPECT_EQ(testkit::runTool(dir, {"widgets", install, "extra"}).code, 2);
    EXPECT_EQ(testkit::runTool(dir, {"widgets", dir.path() + "/none"}).code, 2);
}
