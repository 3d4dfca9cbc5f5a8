#include "props/RCache.h"
#include "props/Properties.h"

#include <cstdio>

RCache::NotFound::NotFound(const char* type, std::string_view name, int code)
    : type_(type != nullptr ? type : "?"), name_(name), code_(code) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "[RCache: ERROR %d - No se pudo cargar '%s':'%s']", code_,
                  type_.c_str(), name_.c_str());
    message_ = buffer;
}

const char* RCache::NotFound::what() const noexcept {
    return message_.c_str();
}

RCache::RCache(std::string base) : base_(std::move(base)) {}

RCache::~RCache() = default;

void RCache::resolve(std::string& path, std::string_view name, std::string* extra) const {
    path = base_ + "/";
    if (name.compare(0, path.size(), path) == 0)
        path.clear();
    size_t question = name.find('?');
    path.append(name.substr(0, question));
    if (extra != nullptr) {
        if (question != std::string_view::npos)
            extra->assign(name.substr(question + 1));
        else
            extra->clear();
    }
}

void* RCache::getOfKind(const char* type, std::string_view name, int* error) {
    if (get(nullptr, name, error) == nullptr)
        return nullptr;
    // Asked again with the type, the entry already made answers 3 unless its
    // loader serves that type.
    return get(type, name, error);
}

void RCache::setBase(std::string dir, const char* sub) {
    base_ = std::move(dir);
    if (sub != nullptr) {
        base_ += "/";
        base_ += sub;
    }
}

bool RCache::readProperties(const std::string& fileName) {
    tree_.reset();
    tree_ = Properties::load(fileName, this);
    return tree_ != nullptr;
}

const Properties* RCache::properties() const {
    for (const RCache* c = this; c != nullptr; c = c->parent_) {
        if (c->tree_ != nullptr)
            return c->tree_.get();
    }
    return nullptr;
}
