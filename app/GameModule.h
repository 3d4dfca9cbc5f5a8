#pragma once
#include <cstdint>

/// The interface object of one of the game's modules ("Game.dll" and the
/// engine modules). The launcher calls exactly these three operations, in
/// this slot order, and the modules rely on that order; the module owns the
/// object and gives it up in `release`.
class GameModule {
public:
    /// Last call the launcher makes on the object, just before it unloads
    /// the module.
    virtual void release() = 0;
    /// Tells the module about another module (itself included): its
    /// identifier ("" for the game, "VnSCENE", ...) and its interface
    /// object, a `GameModule*` passed as an untyped address.
    virtual void attach(const char* identifier, void* module) = 0;
    /// An option for the module; `text` is borrowed for the call only. The
    /// launcher passes 0x9CBEB859 with the plug-in directory.
    virtual void setOption(uint32_t code, const char* text) = 0;

protected:
    // Only the module itself destroys its object, from `release`.
    ~GameModule() = default;
};

/// Option code carrying the plug-in directory to every module.
constexpr uint32_t kPluginDirectoryOption = 0x9CBEB859u;

// The C exports of a module. "QueryInterfaceID" and "QueryInterface" are
// called with 0; the result of the first is not used, the second answers the
// module's interface object (null for none). "Launch", exported by
// "Game.dll" only, runs the game and returns when it ends.
extern "C" {
using QueryInterfaceIDFunction = int (*)(int);
using QueryInterfaceFunction = GameModule* (*)(int);
using LaunchFunction = void (*)();
}
