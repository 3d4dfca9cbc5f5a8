// The game's settings tree and its text format.
//
// [SECTION] the tree: copying, lookups, editing, merging
// [SECTION] the reader
// [SECTION] the writer and the files
#include "app/SettingsNode.h"
#include "install/PendingFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace app {

namespace {

std::string lowerAscii(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

const SettingsNode& emptyNode() {
    static const SettingsNode empty;
    return empty;
}

} // namespace

// [SECTION] the tree: copying, lookups, editing, merging

SettingsNode::SettingsNode(const SettingsNode& other) : key(other.key), value(other.value) {
    children_.reserve(other.children_.size());
    for (const auto& child : other.children_)
        children_.push_back(std::make_unique<SettingsNode>(*child));
    reindex();
}

SettingsNode& SettingsNode::operator=(const SettingsNode& other) {
    if (this != &other) {
        SettingsNode copy(other);
        key = std::move(copy.key);
        value = std::move(copy.value);
        children_ = std::move(copy.children_);
        index_ = std::move(copy.index_);
    }
    return *this;
}

const SettingsNode& SettingsNode::find(const std::string& key) const {
    auto it = index_.find(lowerAscii(key));
    return it == index_.end() ? emptyNode() : *it->second;
}

SettingsNode* SettingsNode::findChild(const std::string& key) {
    auto it = index_.find(lowerAscii(key));
    return it == index_.end() ? nullptr : it->second;
}

const SettingsNode& SettingsNode::child(size_t index) const {
    return index < children_.size() ? *children_[index] : emptyNode();
}

SettingsNode* SettingsNode::childAt(size_t index) {
    return index < children_.size() ? children_[index].get() : nullptr;
}

SettingsNode& SettingsNode::add(std::string key, std::string value) {
    children_.push_back(std::make_unique<SettingsNode>(std::move(key), std::move(value)));
    SettingsNode& added = *children_.back();
    if (!added.key.empty())
        index_[lowerAscii(added.key)] = &added;
    return added;
}

SettingsNode& SettingsNode::obtain(const std::string& key, size_t values) {
    if (SettingsNode* found = findChild(key))
        return *found;
    SettingsNode& made = add(key, std::string());
    for (size_t i = 0; i < values; ++i)
        made.add(std::string(), "0");
    return made;
}

void SettingsNode::setValue(size_t index, const std::string& text) {
    while (children_.size() <= index)
        add(std::string(), std::string());
    children_[index]->value = text;
}

void SettingsNode::rename(const std::string& newKey, SettingsNode* parent) {
    key = newKey;
    if (parent != nullptr)
        parent->reindex();
}

void SettingsNode::merge(const SettingsNode& source, size_t position) {
    // Work on a copy so that merging a node of this very tree cannot walk
    // into the children it is adding.
    const SettingsNode snapshot(source);
    if (snapshot.key.empty()) {
        if (position < children_.size())
            children_[position]->value = snapshot.value;
        else
            add(std::string(), snapshot.value);
        return;
    }
    SettingsNode* target = findChild(snapshot.key);
    if (target == nullptr)
        target = &add(snapshot.key, std::string());
    target->value = snapshot.value;
    for (size_t i = 0; i < snapshot.count(); ++i)
        target->merge(*snapshot.children_[i], i);
}

void SettingsNode::reindex() {
    index_.clear();
    for (const auto& child : children_)
        if (!child->key.empty())
            index_[lowerAscii(child->key)] = child.get();
}

// [SECTION] the reader

namespace {

// The game's own reader holds keys and values in fixed buffers of this size;
// longer tokens are cut to it so both read the same tree.
constexpr size_t kTokenLimit = 511;
// Braces nested deeper than this are kept as nodes but their content is
// skipped, so a hostile file cannot exhaust the stack of the reader, the
// writer or the tree's destructor.
constexpr int kMaxDepth = 64;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    // Parses text_[begin, end) into `node`, a block nested `depth` deep.
    void parse(size_t begin, size_t end, SettingsNode& node, int depth) {
        std::string key;
        std::string value;
        size_t pos = begin;
        while (true) {
            while (pos < end && isSeparator(text_[pos]))
                ++pos;
            if (pos >= end)
                return;
            char c = text_[pos];
            if (c == '/' && pos + 1 < end && text_[pos + 1] == '/') {
                while (pos < end && text_[pos] != '\r' && text_[pos] != '\n')
                    ++pos;
            } else if (c == '.') {
                pos = token(pos + 1, end, key);
            } else if (c == '"') {
                size_t start = pos + 1;
                size_t close = start;
                while (close < end && text_[close] != '"')
                    ++close;
                value = text_.substr(start, std::min(close - start, kTokenLimit));
                pos = close < end ? close + 1 : end;
                node.add(key, value);
            } else if (c == '{') {
                SettingsNode& block = node.add(key, value);
                size_t inner = pos + 1;
                size_t close = matchingBrace(inner, end);
                if (depth < kMaxDepth)
                    parse(inner, close, block, depth + 1);
                pos = close < end ? close + 1 : end;
            } else {
                pos = token(pos, end, value);
                if (!key.empty() || !value.empty())
                    node.add(key, value);
            }
        }
    }

private:
    // Reads a bare token from `pos` up to a separator or "{" into `out`
    // (cut to the buffer size); answers where it ended.
    size_t token(size_t pos, size_t end, std::string& out) const {
        size_t stop = pos;
        while (stop < end && !isSeparator(text_[stop]) && text_[stop] != '{')
            ++stop;
        out = text_.substr(pos, std::min(stop - pos, kTokenLimit));
        return stop;
    }

    // The "}" closing a block whose text starts at `pos`, or `end` when the
    // block is never closed.
    size_t matchingBrace(size_t pos, size_t end) const {
        int open = 1;
        for (; pos < end; ++pos) {
            if (text_[pos] == '{') {
                ++open;
            } else if (text_[pos] == '}' && --open == 0) {
                return pos;
            }
        }
        return end;
    }

    const std::string& text_;
};

} // namespace

void parseSettings(const std::string& text, SettingsNode& root) {
    // The text ends at its first NUL byte, as it does for the game's reader.
    size_t end = text.find('\0');
    Reader(text).parse(0, end == std::string::npos ? text.size() : end, root, 0);
}

// [SECTION] the writer and the files

namespace {

// Values that would not read back as one value are put in double quotes: a
// leading "." would make a key and a leading "//" a comment; a separator or
// "{" would end the value early.
bool needsQuotes(const std::string& value) {
    if (value.empty())
        return false;
    if (value[0] == '.' || value.compare(0, 2, "//") == 0)
        return true;
    for (char c : value)
        if (isSeparator(c) || c == '{')
            return true;
    return false;
}

void writeValue(const std::string& value, std::string& out) {
    if (needsQuotes(value))
        out += '"' + value + '"';
    else
        out += value;
    out += ' ';
}

void writeNode(const SettingsNode& node, const std::string& indent, std::string& out) {
    const bool keyed = !node.key.empty();
    if (keyed)
        out += "\n" + indent + "." + node.key + " ";
    const std::string inner = indent + "\t";
    // A block's own value stands where an empty one leaves its blank. Its
    // text is not written: inside the braces it would read back as a new
    // first child, so a value the reader carried over from an earlier entry
    // (a block takes the last value read) would add a child on every save
    // and shift the values of a list.
    if (keyed && node.count() > 0 && node.child(0).key.empty()) {
        out += "{ ";
        writeValue(std::string(), out);
        for (size_t i = 0; i < node.count(); ++i)
            writeNode(node.child(i), inner, out);
        out += " }";
    } else if (keyed && node.count() > 0) {
        out += "\n" + indent + "{\n" + indent;
        writeValue(std::string(), out);
        for (size_t i = 0; i < node.count(); ++i)
            writeNode(node.child(i), inner, out);
        out += "\n" + indent + "}";
    } else {
        writeValue(node.value, out);
        for (size_t i = 0; i < node.count(); ++i)
            writeNode(node.child(i), inner, out);
    }
}

} // namespace

std::string formatSettings(const SettingsNode& root) {
    std::string out;
    writeNode(root, std::string(), out);
    return out;
}

void readSettingsFile(const std::string& path, SettingsNode& root) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    parseSettings(text, root);
}

bool writeSettingsFile(const std::string& path, const SettingsNode& root) {
    std::string text = formatSettings(root);
    std::string stored;
    stored.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    // Written beside the old file and put in its place in one step, so that
    // a crash never leaves the settings half written, and never through a
    // link planted at the name.
    PendingFile out;
    return out.open(path) && out.write(stored.data(), stored.size()) && out.commit(true);
}

} // namespace app
