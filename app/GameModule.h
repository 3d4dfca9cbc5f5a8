#pragma once
#include <cstdint>

/// The interface object of one of the game's modules ("Game.dll" and the
/// engine modules). The launcher calls exactly these three operations, in
/// this slot order, and the modules rely on that order; the module owns the
/// object and gives it up in `release`. On 32-bit Windows the compiler
/// calls them as Windows' own compilers call member functions (the object
/// in ECX, the arguments popped by the callee), which the game's libraries
/// are built for; there are no other base classes, so the first slot of the
/// table is the first operation here.
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

// The C exports of a module, with the C calling convention (the caller pops
// the arguments; the exported names undecorated). "QueryInterfaceID" and
// "QueryInterface" are called with 0; the result of the first is not used, the second answers the
// module's interface object (null for none). "Launch", exported by
// "Game.dll" only, runs the game and returns when it ends.
extern "C" {
using QueryInterfaceIDFunction = int (*)(int);
using QueryInterfaceFunction = GameModule* (*)(int);
using LaunchFunction = void (*)();
}
