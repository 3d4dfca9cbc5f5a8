// Feeds arbitrary bytes to the game's settings reader. Every key and value
// must fit the reader's 511-character buffers and the tree must stay within
// its nesting bound; the tree is then looked up, copied, merged, written and
// read back.
#include "app/SettingsNode.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr size_t kTokenLimit = 511;
constexpr size_t kMaxLevels = 66; // the root, 64 parsed levels, one kept empty

size_t check(const app::SettingsNode& node, size_t level) {
    if (node.key.size() > kTokenLimit || node.value.size() > kTokenLimit || level > kMaxLevels)
        std::abort();
    size_t sum = node.count();
    for (size_t i = 0; i < node.count(); ++i) {
        const app::SettingsNode& child = node.child(i);
        if (!child.key.empty() && node.find(child.key).key.empty())
            std::abort(); // every keyed child's key finds a child
        sum += check(child, level + 1);
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    app::SettingsNode root;
    app::parseSettings(text, root);
    volatile size_t sink = check(root, 1);

    app::SettingsNode copy(root);
    for (size_t i = 0; i < root.count(); ++i)
        copy.merge(root.child(i), i);
    copy.merge(copy, 0);
    std::string written = app::formatSettings(copy);
    app::SettingsNode back;
    app::parseSettings(written, back);
    sink = sink + check(back, 1) + written.size();
    (void)sink;
    return 0;
}
