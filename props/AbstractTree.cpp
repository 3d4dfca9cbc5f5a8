#include "props/AbstractTree.h"

#include <cstdio>
#include <ctime>
#include <map>

namespace {

std::map<int, const int*>& kindRegistry() {
    static std::map<int, const int*> registry;
    return registry;
}

char textBuffer[128];

} // namespace

AbstractTree::Visitor::~Visitor() = default;

AbstractTree::~AbstractTree() = default;

int AbstractTree::nodeType() const {
    return typeTree;
}

bool AbstractTree::select(int) {
    return false;
}

int AbstractTree::reserved4() {
    return -1;
}

unsigned AbstractTree::itemFlags(int) const {
    return 0;
}

bool AbstractTree::reserved6(int, ItemValue) {
    return false;
}

bool AbstractTree::reserved7(int, ItemValue) {
    return false;
}

int AbstractTree::itemType(int) const {
    return 0;
}

ItemValue AbstractTree::itemValue(int) const {
    return ItemValue{};
}

bool AbstractTree::reserved10(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
    return false;
}

bool AbstractTree::reserved11(uintptr_t, uintptr_t, uintptr_t, uintptr_t) {
    return false;
}

bool AbstractTree::reserved12(int) {
    return false;
}

unsigned AbstractTree::forEach(Visitor&) const {
    return 0;
}

const char* AbstractTree::itemText(int index) const {
    ItemValue value = itemValue(index);
    switch (itemType(index)) {
    case typeInt:
        std::snprintf(textBuffer, sizeof textBuffer, "%d", value.integer);
        return textBuffer;
    case typeFloat:
        std::snprintf(textBuffer, sizeof textBuffer, "%f", static_cast<double>(value.single));
        return textBuffer;
    case typeDouble:
        std::snprintf(textBuffer, sizeof textBuffer, "%g", value.real);
        return textBuffer;
    case typeText:
        return value.text != nullptr ? value.text : "";
    case typeTime: {
        std::time_t seconds = static_cast<std::time_t>(value.time);
        std::tm local{};
        if (localtime_r(&seconds, &local) == nullptr)
            return "";
        std::snprintf(textBuffer, sizeof textBuffer, "%04d-%02d-%02d %02u:%02u:%02u", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, static_cast<unsigned>(local.tm_hour),
                      static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec));
        return textBuffer;
    }
    default:
        return "";
    }
}

uintptr_t AbstractTree::reserved15() {
    return 0;
}

bool AbstractTree::isKindOf(int type, int base) {
    if (type == base)
        return true;
    const std::map<int, const int*>& registry = kindRegistry();
    auto it = registry.find(type);
    if (it == registry.end())
        return false;
    for (const int* b = it->second; *b != 0; ++b) {
        if (*b == base)
            return true;
    }
    return false;
}

void AbstractTree::registerKind(int type, const int* bases) {
    if (bases == nullptr)
        kindRegistry().erase(type);
    else
        kindRegistry()[type] = bases;
}
