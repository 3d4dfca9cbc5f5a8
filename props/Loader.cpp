#include "props/Loader.h"

#include <cstring>

namespace {

// Constant-initialised, so loaders constructed as static objects in any
// order find it ready.
Loader* registryHead = nullptr;

const char* const noExtensions[] = {nullptr};

} // namespace

Loader::Loader() {
    for (Loader* l = registryHead; l != nullptr; l = l->next_) {
        if (l == this)
            return;
    }
    next_ = registryHead;
    registryHead = this;
}

Loader::~Loader() {
    // A destroyed loader must not stay reachable from the registry.
    for (Loader** link = &registryHead; *link != nullptr; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
}

const char* const* Loader::extensions() const {
    return noExtensions;
}

bool Loader::accepts(const char* type) const {
    return type != nullptr && std::strcmp(type, typeName()) == 0;
}

Loader* Loader::first() {
    return registryHead;
}

Loader* Loader::findLoader(const char* type, const char* fileName) {
    // Without a type only a file's extension can choose the loader.
    if (type == nullptr && fileName == nullptr)
        return nullptr;
    const char* extension = nullptr;
    if (fileName != nullptr) {
        const char* dot = std::strrchr(fileName, '.');
        extension = dot != nullptr ? dot + 1 : fileName;
    }
    for (Loader* l = registryHead; l != nullptr; l = l->next_) {
        if (type != nullptr && std::strcmp(l->typeName(), type) != 0)
            continue;
        if (extension == nullptr)
            return l;
        for (const char* const* e = l->extensions(); *e != nullptr; ++e) {
            if (std::strcmp(*e, extension) == 0)
                return l;
        }
    }
    return nullptr;
}
