#include "g2/Emitter.h"

namespace G2 {

Atom::~Atom() = default;
EventTarget::~EventTarget() = default;

Emitter::~Emitter() {
    Client* c = first_;
    while (c != nullptr) {
        Client* next = c->next;
        delete c;
        c = next;
    }
}

Emitter::Client* Emitter::connect(EventTarget* target, uint32_t code, uint32_t options) {
    auto* c = new Client(code, options, target);
    c->prev = last_;
    if (last_ != nullptr)
        last_->next = c;
    else
        first_ = c;
    last_ = c;
    return c;
}

void Emitter::unlink(Client* c) {
    for (Walk* w = walks_; w != nullptr; w = w->outer)
        if (w->next == c)
            w->next = c->next;
    if (c->prev != nullptr)
        c->prev->next = c->next;
    else
        first_ = c->next;
    if (c->next != nullptr)
        c->next->prev = c->prev;
    else
        last_ = c->prev;
}

void Emitter::emit(uint32_t code, intptr_t data) {
    Walk walk{first_, walks_};
    walks_ = &walk;
    while (walk.next != nullptr) {
        Client* c = walk.next;
        walk.next = c->next;
        if (c->code != code)
            continue;
        EventTarget* target = c->target;
        if (c->options & oneShot) {
            unlink(c);
            delete c;
        }
        target->onEvent(code, sender_, data);
    }
    walks_ = walk.outer;
}

void Emitter::disconnect(EventTarget* target, uint32_t code) {
    Client* c = first_;
    while (c != nullptr) {
        Client* next = c->next;
        if (c->target == target && c->code == code) {
            unlink(c);
            delete c;
        }
        c = next;
    }
}

void Emitter::disconnectAll(EventTarget* target) {
    Client* c = first_;
    while (c != nullptr) {
        Client* next = c->next;
        if (c->target == target) {
            unlink(c);
            delete c;
        }
        c = next;
    }
}

int Emitter::connections() const {
    int n = 0;
    for (Client* c = first_; c != nullptr; c = c->next)
        ++n;
    return n;
}

} // namespace G2
