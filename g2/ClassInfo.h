#pragma once

namespace G2 {

/// The toolkit's own class record: a name and the record of the parent
/// class. A node is a kind of K when K's record is found by following the
/// parent links from the node's record.
struct ClassInfo {
    const ClassInfo* parent;
    const char* name;

    bool isKindOf(const ClassInfo& other) const {
        for (const ClassInfo* c = this; c != nullptr; c = c->parent)
            if (c == &other)
                return true;
        return false;
    }
    /// Kind-of test by class name ("Widget", "ListContainerWidget", ...).
    bool isKindOf(const char* className) const;
};

} // namespace G2

/// Declares the class record of a node class; use inside the class body.
#define G2_CLASS_INFO()                                                                                      \
public:                                                                                                      \
    static const ::G2::ClassInfo classRecord;                                                                \
    const ::G2::ClassInfo& classInfo() const override {                                                      \
        return classRecord;                                                                                  \
    }                                                                                                        \
                                                                                                             \
private:

/// Defines the class record of `cls` with the parent class `base`.
#define G2_DEFINE_CLASS_INFO(cls, base, name)                                                                \
    const ::G2::ClassInfo cls::classRecord{&base::classRecord, name};
