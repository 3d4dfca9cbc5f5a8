#pragma once
#include <cstdint>

namespace G2 {

/// Root of the toolkit's small polymorphic objects.
class Atom {
public:
    virtual ~Atom();
};

/// Anything that receives toolkit messages. `sender` is the object reported
/// as the source (a widget, or null for the game's own messages); `data` is
/// the message's argument (a number, or a pointer for some codes).
class EventTarget {
public:
    virtual ~EventTarget();
    /// Answers nonzero when the message was handled.
    virtual int onEvent(uint32_t code, void* sender, intptr_t data) = 0;
};

/// Fans a message out to the targets connected for its code, in the order
/// they were connected. Owns its connections.
class Emitter {
public:
    static constexpr uint32_t oneShot = 1;

    /// A connection: which code goes to which target.
    class Client : public Atom {
    public:
        Client(uint32_t code, uint32_t options, EventTarget* target)
            : code(code), options(options), target(target) {}
        uint32_t code;
        uint32_t options;
        EventTarget* target;

    private:
        friend class Emitter;
        Client* prev = nullptr;
        Client* next = nullptr;
    };

    explicit Emitter(void* sender = nullptr) : sender_(sender) {}
    Emitter(const Emitter&) = delete;
    Emitter& operator=(const Emitter&) = delete;
    ~Emitter();

    /// Appends a connection and answers it (owned by the emitter).
    Client* connect(EventTarget* target, uint32_t code, uint32_t options = 0);
    /// Calls every target connected for `code`; a one-shot connection is
    /// removed just before its call.
    void emit(uint32_t code, intptr_t data = 0);
    /// Removes every connection of `target` for `code`.
    void disconnect(EventTarget* target, uint32_t code);
    /// Removes every connection of `target`, whatever the code.
    void disconnectAll(EventTarget* target);
    /// Number of connections (for tests and checks).
    int connections() const;

    void* sender() const { return sender_; }

private:
    void unlink(Client* c);

    void* sender_;
    Client* first_ = nullptr;
    Client* last_ = nullptr;
    // Targets may connect and disconnect (even nested emissions) while an
    // emission walks the list: every walk in progress keeps its next
    // connection here, and `unlink` moves it on when that one goes.
    struct Walk {
        Client* next;
        Walk* outer;
    };
    Walk* walks_ = nullptr;
};

} // namespace G2
