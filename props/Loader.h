#pragma once
#include <string>

class Property;
class RCache;

/// Makes one kind of resource for the resource cache, from a file or from a
/// node of the resources tree, and destroys what it made.
///
/// Every loader links itself into one process-wide registry when it is
/// constructed (normally as a static object), at the head, so the loader
/// constructed last is searched first; its destructor takes it out again.
/// Resources are untyped here: the cache keeps what a loader answers and
/// gives it back to that loader's `release`.
class Loader {
public:
    Loader();
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    /// The type name of the resources it makes ("Image", "TTFont").
    virtual const char* typeName() const = 0;
    /// File extensions without dot that `loadFile` reads, compared exactly
    /// (case-sensitively); a null-terminated list, empty by default.
    virtual const char* const* extensions() const;
    /// Whether a request for `type` may be served by what this loader makes;
    /// by default only its own type name (a loader may add aliases).
    virtual bool accepts(const char* type) const;
    /// Destroys a resource that this loader made.
    virtual void release(void* resource) = 0;
    /// Makes a resource from the file at `path`; `extra` is the text after
    /// "?" in the requested name (empty when none). On failure answers null,
    /// usually with a code in `error` (2: cannot load files). `cache` serves
    /// the resources this one is built from.
    virtual void* loadFile(RCache& cache, const std::string& path, const std::string& extra, int& error) = 0;
    /// Makes a resource from a node of the resources tree; as `loadFile`
    /// otherwise (2: cannot load nodes, 6: the node lacks what is needed).
    virtual void* loadProperties(RCache& cache, const Property& node, int& error) = 0;
    virtual ~Loader();

    /// The first registered loader whose type name equals `type` exactly
    /// and, when `fileName` is given, that lists its extension (the text
    /// after the last ".", or the whole name without one); null when none.
    /// A null `type` matches any type name, so a file is then chosen by its
    /// extension alone (and a null `type` without a file finds nothing).
    static Loader* findLoader(const char* type, const char* fileName = nullptr);
    /// The registry, head first.
    static Loader* first();
    Loader* next() const { return next_; }

private:
    Loader* next_ = nullptr;
};
