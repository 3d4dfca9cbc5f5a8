#pragma once
#include "props/FileFinder.h"

#include <exception>
#include <memory>
#include <string>
#include <string_view>

class Properties;

/// A resource cache: resources are asked for by type name and name, made
/// once by a `Loader` and handed out again on every later request. A name
/// is a file name (resolved against the cache's base directory, with an
/// optional "?" and extra text for the loader) or "@" and a path into the
/// resources tree, whose node's type annotation picks the loader.
///
/// The cache owns what it made until `clear`, which gives each resource
/// back to its loader; callers borrow. A parent cache, when set, hands out
/// what it has already made first and lends its tree when this cache has
/// none.
class RCache : public FileFinder {
public:
    /// Raised by `get` when no error out-parameter is given.
    class NotFound : public std::exception {
    public:
        /// A null `type` is kept as "?".
        NotFound(const char* type, std::string_view name, int code);
        const std::string& type() const { return type_; }
        const std::string& name() const { return name_; }
        int code() const { return code_; }
        /// "[RCache: ERROR <code> - No se pudo cargar '<type>':'<name>']".
        const char* what() const noexcept override;

    private:
        std::string type_;
        std::string name_;
        int code_;
        std::string message_;
    };

    explicit RCache(std::string base = ".");
    RCache(const RCache&) = delete;
    RCache& operator=(const RCache&) = delete;
    /// Destroys the tree; gives no resource back (see `clear`).
    ~RCache() override;

    /// Path := base "/" name, without a second prefix when `name` already
    /// begins with it; a "?" ends the file name and the rest goes to
    /// `extra` (empty when there is no "?"), when `extra` is given.
    void resolve(std::string& path, std::string_view name, std::string* extra) const override;
    /// Gives every resource back to its loader and forgets every name.
    virtual void clear() = 0;
    /// The resource called `name` of type `type`, made on first request.
    /// Failure codes: 2 the loader cannot load that way, 3 the loader of the
    /// node (or of the resource already made) does not serve `type`, 4 the
    /// loader failed without a code, 5 no loader for the type (and file
    /// extension), 6 no resources tree or no node at the "@" path, or a
    /// node that lacks what the loader needs. With `error` given, a failure
    /// stores its code there and answers null (a success stores 0); without
    /// it, a failure raises `NotFound`. `name` must not be empty.
    virtual void* get(const char* type, std::string_view name, int* error) = 0;
    /// The resource already made under `name`, or null; never loads.
    virtual void* find(std::string_view name) const = 0;

    /// The resource called `name` made by whatever loader its name picks (a
    /// file's extension, a node's type annotation), as a `get` without a
    /// type, which must serve `type` all the same: a resource of another
    /// kind fails with code 3 (raised as `NotFound` for `type` without
    /// `error`), so that a caller never takes it for a `type`.
    void* getOfKind(const char* type, std::string_view name, int* error);

    /// Typed access for callers that know what `type` makes.
    template <class T> T* get(const char* type, std::string_view name, int* error = nullptr) {
        return static_cast<T*>(get(type, name, error));
    }

    const std::string& base() const { return base_; }
    /// base := `dir`, followed by "/" and `sub` when `sub` is given.
    void setBase(std::string dir, const char* sub = nullptr);
    RCache* parent() const { return parent_; }
    void setParent(RCache* parent) { parent_ = parent; }
    /// Replaces the resources tree by `fileName` read from the base
    /// directory (includes likewise); answers whether the file was read.
    /// Syntax errors raise `PropertiesParser::Error` and leave no tree.
    bool readProperties(const std::string& fileName);
    /// This cache's tree, or else the nearest parent's; null when none.
    const Properties* properties() const;

private:
    RCache* parent_ = nullptr;
    std::string base_;
    std::unique_ptr<Properties> tree_;
};
