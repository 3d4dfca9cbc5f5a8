// Feeds arbitrary bytes to the properties parser, includes included. The
// input is split at its first NUL byte into two files, "f" (read first) and
// "g", in a private directory, so "<f>" and "<g>" include them (and "f" may
// include itself). A parse must end with a tree or with an error code of
// 1 to 8; the tree is then copied and read back through every getter.
#include "props/Properties.h"
#include "props/PropertiesParser.h"
#include "props/RCacheS.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string scratch;

void removeScratch() {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
}

void writeFile(const std::string& name, const uint8_t* data, size_t size) {
    std::ofstream out(scratch + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

const char* const words[] = {"none", "horizontal", "vertical", "both", "", nullptr};

// Reads every node back; answers a value that depends on all of them so
// that nothing is optimised away.
unsigned walk(const Properties& node, const std::string& path) {
    unsigned sum = node.count();
    for (unsigned i = 0; i < node.count(); ++i) {
        const Property& p = *node.child(static_cast<int>(i));
        std::string full = path.empty() ? p.name() : path + "." + p.name();
        int ints[4];
        int enums[4];
        sum += static_cast<unsigned>(node.getInts(p.name(), ints, 4));
        sum += static_cast<unsigned>(node.getEnums(p.name(), enums, 4, words));
        sum += static_cast<unsigned>(node.getInt(p.name()));
        sum += std::strlen(node.itemText(static_cast<int>(i)));
        sum += walk(p, full);
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (scratch.empty()) {
        char name[] = "/tmp/moravo-props-fuzz-XXXXXX";
        if (mkdtemp(name) == nullptr)
            std::abort();
        scratch = name;
        std::atexit(removeScratch);
    }
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    size_t first = split != nullptr ? static_cast<size_t>(split - data) : size;
    writeFile("f", data, first);
    writeFile("g", split != nullptr ? split + 1 : data, split != nullptr ? size - first - 1 : 0);

    RCacheS cache(scratch);
    try {
        if (!cache.readProperties("f"))
            std::abort(); // the file was just written
        Properties copy(*cache.properties());
        volatile unsigned sink = walk(copy, "");
        (void)sink;
    } catch (const PropertiesParser::Error& e) {
        if (e.code() < 1 || e.code() > 8 || std::strstr(e.what(), "Error ") != e.what())
            std::abort();
    }
    return 0;
}
