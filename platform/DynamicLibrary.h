#pragma once
#include <string>

namespace platform {

/// A loaded shared object, unloaded when the holder goes. A bare file name
/// (no "/") is looked for beside the running program (the installation)
/// first, then in the current directory (where the game start puts each of
/// the game's modules, shared objects that keep their Windows file names,
/// "Game.dll"), then along the system's library search path, so that a
/// system library can be named bare ("libGL.so.1"). The first file found is
/// the one loaded; any other name is a path. On Windows a bare name is
/// searched in the system's own order (the program's folder, the system
/// folders, the current folder, PATH). Holders move but do not copy.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    /// Loads `file` at once; see `loaded` and `error`.
    explicit DynamicLibrary(const std::string& file);
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary();

    /// Loads `file` (unloading what was held before) with every symbol
    /// resolved now; false with `error` telling why when it cannot.
    bool load(const std::string& file);
    /// Unloads the library; the addresses it gave out are dead from now on.
    void unload();
    bool loaded() const { return handle_ != nullptr; }

    /// The address of the exported `name`, or null when the library is not
    /// loaded or has no such export (then `error` tells why).
    void* symbol(const std::string& name);

    /// `symbol` as a function pointer type, e.g. `function<int (*)()>("Launch")`.
    template <typename Function> Function function(const std::string& name) {
        return reinterpret_cast<Function>(symbol(name));
    }

    /// The reason of the last failure, empty when there was none.
    const std::string& error() const { return error_; }

private:
    // The system's loading of a named file (not empty), nothing held before.
    bool loadFile(const std::string& file);

    void* handle_ = nullptr;
    std::string error_;
};

} // namespace platform
