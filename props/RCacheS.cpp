#include "props/RCacheS.h"
#include "props/Loader.h"
#include "props/Properties.h"

RCacheS::RCacheS(std::string base) : RCache(std::move(base)) {}

RCacheS::~RCacheS() = default;

void RCacheS::clear() {
    for (auto& [name, entry] : table_) {
        if (entry.loader != nullptr && entry.resource != nullptr)
            entry.loader->release(entry.resource);
    }
    table_.clear();
}

void* RCacheS::find(std::string_view name) const {
    auto it = table_.find(name);
    return it != table_.end() ? it->second.resource : nullptr;
}

void* RCacheS::get(const char* type, std::string_view name, int* error) {
    if (parent() != nullptr) {
        if (void* resource = parent()->find(name)) {
            if (error != nullptr)
                *error = 0;
            return resource;
        }
    }
    auto it = table_.find(name);
    if (it == table_.end())
        it = table_.emplace(std::string(name), Entry()).first;
    // Map entries stay in place while loaders add others.
    Entry& entry = it->second;
    int code = make(entry, type, name);
    if (code != 0) {
        if (error == nullptr)
            throw NotFound(type, name, code);
        *error = code;
        return nullptr;
    }
    if (error != nullptr)
        *error = 0;
    return entry.resource;
}

// Answers 0 when `entry` holds its resource, else the failure code.
int RCacheS::make(Entry& entry, const char* type, std::string_view name) {
    // One name holds one resource, whatever type is asked for; handing it out
    // for a type its loader does not make would give the caller an object of
    // another class.
    if (entry.loader != nullptr && type != nullptr && !entry.loader->accepts(type))
        return 3;
    if (entry.resource != nullptr)
        return 0;
    // A resource whose making asks for itself would recurse without end.
    if (entry.making)
        return 6;

    struct Making {
        bool& flag;
        explicit Making(bool& f) : flag(f) {}
        ~Making() { flag = false; }
    };

    int code = 0;
    if (!name.empty() && name[0] == '@') {
        const Properties* tree = properties();
        const Property* node = tree != nullptr ? tree->find(name.substr(1)) : nullptr;
        if (node == nullptr)
            return 6;
        if (entry.loader == nullptr) {
            Loader* loader = Loader::findLoader(node->type().c_str());
            if (loader == nullptr)
                return 5;
            // A request without a type takes what the node's annotation makes.
            if (type != nullptr && !loader->accepts(type))
                return 3;
            entry.loader = loader;
        }
        entry.making = true;
        Making making(entry.making);
        entry.resource = entry.loader->loadProperties(*this, *node, code);
    } else {
        std::string path, extra;
        resolve(path, name, &extra);
        if (entry.loader == nullptr) {
            entry.loader = Loader::findLoader(type, path.c_str());
            if (entry.loader == nullptr)
                return 5;
        }
        entry.making = true;
        Making making(entry.making);
        entry.resource = entry.loader->loadFile(*this, path, extra, code);
    }
    if (entry.resource == nullptr && code == 0)
        code = 4;
    return code;
}

RCacheS& resourceCache() {
    static RCacheS cache(".");
    return cache;
}
