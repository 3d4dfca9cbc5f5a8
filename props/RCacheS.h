#pragma once
#include "props/RCache.h"

#include <functional>
#include <map>

class Loader;

/// The resource cache's implementation: one table from each name, exactly
/// as requested ("@" and any "?" part included), to the loader that made
/// or will make it and the resource it made.
class RCacheS : public RCache {
public:
    explicit RCacheS(std::string base = ".");
    ~RCacheS() override;

    using RCache::get;
    void clear() override;
    void* get(const char* type, std::string_view name, int* error) override;
    void* find(std::string_view name) const override;

private:
    struct Entry {
        Loader* loader = nullptr;
        void* resource = nullptr;
        bool making = false;
    };

    int make(Entry& entry, const char* type, std::string_view name);

    std::map<std::string, Entry, std::less<>> table_;
};

/// The launcher's one resource cache, made on first use with base ".".
RCacheS& resourceCache();
