// moravo-tool props FILE: reads a layout file as the launcher reads its
// "res.txt" (includes found beside it) and prints the tree it makes, or the
// first syntax error with the name of the file it was found in.
#include "props/Properties.h"
#include "props/PropertiesParser.h"
#include "props/RCacheS.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>
#include <string>

namespace {

// Texts holding blanks, or that would be misread, are shown in double
// quotes; inside them, control characters, quotes and backslashes are
// shown as escapes so that each node keeps to one line.
std::string shown(const std::string& text, bool quoteEmpty) {
    bool quote = text.empty() ? quoteEmpty : false;
    for (unsigned char c : text) {
        if (c <= ' ' || c == '"' || c == 0x7F)
            quote = true;
    }
    if (!quote)
        return text;
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < ' ' || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void print(const Properties& node, int depth) {
    for (unsigned i = 0; i < node.count(); ++i) {
        const Property& p = *node.child(static_cast<int>(i));
        std::string line(static_cast<size_t>(depth) * 2, ' ');
        line += shown(p.name(), false);
        if (!p.type().empty())
            line += ":" + shown(p.type(), false);
        line += "=" + shown(p.value(), true);
        std::printf("%s\n", line.c_str());
        print(p, depth + 1);
    }
}

} // namespace

namespace tool {

int runProps(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: moravo-tool props FILE\n");
        return 2;
    }
    const std::string file = argv[0];
    const size_t slash = file.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? std::string() : file.substr(0, slash);
    RCacheS cache(dir.empty() ? "." : dir);
    try {
        if (!cache.readProperties(file.substr(slash == std::string::npos ? 0 : slash + 1))) {
            std::fprintf(stderr, "moravo-tool props: cannot open '%s'\n", argv[0]);
            return 1;
        }
    } catch (const PropertiesParser::Error& e) {
        std::fprintf(stderr, "%s: %s\n", e.fileName().c_str(), e.what());
        return 2;
    }
    print(*cache.properties(), 0);
    return 0;
}

} // namespace tool
