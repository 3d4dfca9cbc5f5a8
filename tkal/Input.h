#pragma once
#include "tkal/Types.h"

namespace TKAL {

/// The source of input events. One process-wide instance, made on first
/// request by `instance()` (which also turns on Unicode translation of keys).
class Input {
public:
    virtual ~Input();

    /// Takes one pending event; false when there is none. Events of kinds
    /// the toolkit does not know are consumed and answered with type 0.
    virtual bool poll(Event& event) = 0;
    virtual bool isKeyEvent(const Event& event) const;

    static Input* instance();
};

} // namespace TKAL
