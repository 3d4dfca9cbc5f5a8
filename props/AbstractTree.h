#pragma once
#include <cstdint>

class AbstractTree;
class Property;

/// The 8-byte value of one item of an `AbstractTree`; which member is meant
/// follows from the item's type code (see `AbstractTree::ItemType`).
union ItemValue {
    uint64_t raw;             // all eight bytes; `ItemValue{}` is the value 0
    int32_t integer;          // typeInt
    float single;             // typeFloat
    double real;              // typeDouble
    const char* text;         // typeText: zero-terminated, owned by the tree
    uint32_t time;            // typeTime: seconds since 1970-01-01 UTC
    const AbstractTree* tree; // typeTree: a sub-tree, owned by the tree
    const Property* property; // typeProperty: a node of a `Properties` tree
};

/// Item-list interface: a node with `count()` items, each with a type code,
/// a value and a text. List widgets read any row-shaped data through it.
/// Every operation but `count` has a default; indexes out of range are
/// answered, never fatal.
class AbstractTree {
public:
    /// Type codes answered by `nodeType` and `itemType`.
    enum ItemType {
        typeInt = 3,
        typeFloat = 5,
        typeDouble = 6,
        typeText = 16,
        typeTime = 19,
        typeTree = 32,
        typeProperty = 800,
    };

    /// Receives the items of a tree from `forEach`; answering false stops
    /// the walk.
    class Visitor {
    public:
        virtual ~Visitor();
        virtual bool visit(int index, int type, ItemValue value) = 0;
    };

    virtual ~AbstractTree();
    /// Type code of this node (32 unless overridden).
    virtual int nodeType() const;
    virtual unsigned count() const = 0;
    /// Told that the user chose item `index`; answers whether it was taken.
    virtual bool select(int index);
    virtual int reserved4();
    /// Flags of the item; `itemSelectable` marks an item the user may choose.
    virtual unsigned itemFlags(int index) const;
    virtual bool reserved6(int index, ItemValue value);
    virtual bool reserved7(int index, ItemValue value);
    virtual int itemType(int index) const;
    virtual ItemValue itemValue(int index) const;
    virtual bool reserved10(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d);
    virtual bool reserved11(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d);
    virtual bool reserved12(int index);
    /// Hands each item to the visitor in order; answers how many visits
    /// answered true.
    virtual unsigned forEach(Visitor& visitor) const;
    /// Text of the item. The default prints `itemValue` as `itemType` says
    /// into one process-wide 128-byte buffer, valid until the next such
    /// call (main thread only); text items answer their own pointer.
    virtual const char* itemText(int index) const;
    virtual uintptr_t reserved15();

    static constexpr unsigned itemSelectable = 0x10;

    /// True when `type` equals `base` or the kind registry lists `base`
    /// among the bases of `type`.
    static bool isKindOf(int type, int base);
    /// Records the further base codes of `type` (a zero-terminated list that
    /// must outlive every `isKindOf` call); null removes the record. The
    /// registry starts empty.
    static void registerKind(int type, const int* bases);
};
