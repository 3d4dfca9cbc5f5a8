// Properties: construction and copies, path lookup, typed getters, node
// creation and merging, and the item-list view of the children.
#include "props/Properties.h"
#include "props/PropertiesParser.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// The standard decimal conversion, kept inside the range of int.
int toInt(const char* text) {
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool isIntChar(char c) {
    return (c >= '0' && c <= '9') || c == '-';
}

} // namespace

Properties::Properties() = default;

Properties::Properties(const std::string& fileName, const FileFinder* resolver) {
    PropertiesParser parser(fileName, resolver);
    parser.parse(*this);
}

Properties::Properties(const Properties& other) = default;
Properties::Properties(Properties&& other) noexcept = default;
Properties& Properties::operator=(const Properties& other) = default;
Properties& Properties::operator=(Properties&& other) noexcept = default;
Properties::~Properties() = default;

std::unique_ptr<Properties> Properties::load(const std::string& fileName, const FileFinder* resolver) {
    PropertiesParser parser(fileName, resolver);
    return parser.parse();
}

int Properties::indexOf(std::string_view path) const {
    if (path.empty())
        return -1;
    size_t dot = path.find('.');
    std::string_view head = path.substr(0, dot);
    for (size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].name() != head)
            continue;
        if (dot == std::string_view::npos)
            return static_cast<int>(i);
        return children_[i].indexOf(path.substr(dot + 1));
    }
    return -1;
}

const Property* Properties::find(std::string_view path) const {
    if (path.empty())
        return nullptr;
    size_t dot = path.find('.');
    std::string_view head = path.substr(0, dot);
    for (const Property& c : children_) {
        if (c.name() != head)
            continue;
        if (dot == std::string_view::npos)
            return &c;
        return c.find(path.substr(dot + 1));
    }
    return nullptr;
}

Property* Properties::find(std::string_view path) {
    return const_cast<Property*>(static_cast<const Properties*>(this)->find(path));
}

const Property* Properties::child(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= children_.size())
        return nullptr;
    return &children_[static_cast<size_t>(index)];
}

Property* Properties::child(int index) {
    return const_cast<Property*>(static_cast<const Properties*>(this)->child(index));
}

std::string Properties::childValue(int index, std::string_view defaultValue) const {
    const Property* c = child(index);
    return c != nullptr ? c->value() : std::string(defaultValue);
}

std::string Properties::getString(std::string_view path, std::string_view defaultValue) const {
    const Property* node = find(path);
    return node != nullptr ? node->value() : std::string(defaultValue);
}

int Properties::getInt(std::string_view path, int defaultValue) const {
    const Property* node = find(path);
    return node != nullptr ? toInt(node->value().c_str()) : defaultValue;
}

double Properties::getDouble(std::string_view path, double defaultValue) const {
    const Property* node = find(path);
    return node != nullptr ? std::strtod(node->value().c_str(), nullptr) : defaultValue;
}

int Properties::getInts(std::string_view path, int* out, int max) const {
    const Property* node = find(path);
    const char* p = node != nullptr ? node->value().c_str() : "";
    if (*p == '(')
        ++p;
    int n = 0;
    while (n < max) {
        while (*p != '\0' && !isIntChar(*p))
            ++p;
        if (*p == '\0')
            break;
        out[n++] = toInt(p);
        while (isIntChar(*p))
            ++p;
    }
    return n;
}

int Properties::getEnums(std::string_view path, int* out, int max, const char* const* names) const {
    const Property* node = find(path);
    const char* p = node != nullptr ? node->value().c_str() : "";
    if (*p == '(')
        ++p;
    int n = 0;
    while (n < max) {
        while (*p != '\0' && !isWordChar(*p))
            ++p;
        if (*p == '\0')
            break;
        const char* word = p;
        while (isWordChar(*p))
            ++p;
        size_t length = static_cast<size_t>(p - word);
        for (int i = 0; names[i] != nullptr; ++i) {
            size_t nameLength = std::strlen(names[i]);
            if (nameLength <= length && std::memcmp(word, names[i], nameLength) == 0) {
                out[n] = i;
                break;
            }
        }
        ++n;
    }
    return n;
}

Property& Properties::obtain(std::string_view path) {
    if (Property* node = find(path))
        return *node;
    children_.emplace_back(std::string(path), this);
    return children_.back();
}

int Properties::nodeType() const {
    return typeProperty;
}

unsigned Properties::count() const {
    return static_cast<unsigned>(children_.size());
}

int Properties::itemType(int) const {
    return typeProperty;
}

ItemValue Properties::itemValue(int index) const {
    ItemValue v{};
    v.property = child(index);
    return v;
}

const char* Properties::itemText(int index) const {
    const Property* c = child(index);
    return c != nullptr ? c->value().c_str() : "";
}

unsigned Properties::forEach(Visitor& visitor) const {
    unsigned visited = 0;
    for (size_t i = 0; i < children_.size(); ++i) {
        ItemValue v{};
        v.property = &children_[i];
        if (!visitor.visit(static_cast<int>(i), typeProperty, v))
            break;
        ++visited;
    }
    return visited;
}

Property::Property(std::string name, const Properties* owner) : name_(std::move(name)), owner_(owner) {}

Property::Property(const Property& other) = default;
Property::Property(Property&& other) noexcept = default;
Property& Property::operator=(const Property& other) = default;
Property& Property::operator=(Property&& other) noexcept = default;
Property::~Property() = default;

void Property::merge(const Property& source) {
    // Merging walks the source's children while adding to this node's; a
    // source that is this node or one of its descendants would change under
    // the walk (and grow without end), so the walk runs over a copy.
    Property snapshot(source);
    mergeFrom(snapshot);
}

void Property::mergeFrom(const Property& source) {
    type_ = source.type_;
    value_ = source.value_;
    for (int i = 0; i < static_cast<int>(source.count()); ++i) {
        const Property& c = *source.child(i);
        obtain(c.name()).mergeFrom(c);
    }
}
