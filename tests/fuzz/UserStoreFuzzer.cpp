// Feeds arbitrary bytes to the value store as its file, then checks that a
// write keeps every value that could be read before and reads back exactly.
#include "platform/UserStore.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& folder() {
    static const std::string path = [] {
        std::string pattern = "/tmp/moravo-fuzz-store-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr)
            abort();
        return pattern;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::UserStore store("SoftWare\\Moravo", folder());
    {
        std::ofstream out(store.filePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const char* const names[] = {"version", "tempstr", "stack", "a", ""};
    std::string before[5];
    for (int i = 0; i < 5; ++i) {
        before[i] = store.readString(names[i], "\x01missing");
        if (before[i].size() > platform::UserStore::kReadLimit && before[i] != "\x01missing")
            abort();
    }
    std::string value(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    if (!store.writeString("fuzz", value))
        abort();
    if (store.readString("fuzz", "") != value.substr(0, platform::UserStore::kReadLimit))
        abort();
    for (int i = 0; i < 5; ++i)
        if (store.readString(names[i], "\x01missing") != before[i])
            abort();
    return 0;
}
