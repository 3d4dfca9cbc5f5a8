#pragma once
#include "props/AbstractTree.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class FileFinder;
class Property;

/// A tree of named text values. Children keep insertion order, names need
/// not be unique (lookups take the first match), and the tree owns every
/// node: children are held by value, so copying a tree copies all of it.
/// Paths are names joined by "." (top.inner.leaf).
class Properties : public AbstractTree {
public:
    Properties();
    /// An empty tree into which `fileName` is parsed, its name (and those
    /// of its includes) resolved through `resolver` (null: taken as they
    /// are). A file that cannot be opened leaves the tree empty; syntax
    /// errors raise `PropertiesParser::Error`.
    explicit Properties(const std::string& fileName, const FileFinder* resolver = nullptr);
    Properties(const Properties& other);
    Properties(Properties&& other) noexcept;
    Properties& operator=(const Properties& other);
    Properties& operator=(Properties&& other) noexcept;
    ~Properties() override;

    /// Parses `fileName` into a new tree; null when the file cannot be
    /// opened. Syntax errors raise `PropertiesParser::Error`.
    static std::unique_ptr<Properties> load(const std::string& fileName,
                                            const FileFinder* resolver = nullptr);

    /// Position of the node that `path` names among its parent's children
    /// (the last name of the path is looked up in the node the rest
    /// reaches); -1 when it names nothing, as an empty path always does.
    int indexOf(std::string_view path) const;
    /// The node that `path` names, or null.
    const Property* find(std::string_view path) const;
    Property* find(std::string_view path);
    /// Child `index`, or null when out of range.
    const Property* child(int index) const;
    Property* child(int index);
    std::string childValue(int index, std::string_view defaultValue = {}) const;

    std::string getString(std::string_view path, std::string_view defaultValue = {}) const;
    /// The value read as a decimal integer (leading blanks, optional sign,
    /// digits up to the first other character; no digits read as 0; beyond
    /// the range of int the nearest end of it).
    int getInt(std::string_view path, int defaultValue = 0) const;
    /// The value read as a floating-point number (no number reads as 0).
    double getDouble(std::string_view path, double defaultValue = 0.0) const;
    /// Reads up to `max` integers from a value such as (10, 20) or -5 7 9
    /// into `out`; answers how many were stored.
    int getInts(std::string_view path, int* out, int max) const;
    /// Reads up to `max` words (runs of letters, digits and "_") of the
    /// value and matches each against `names` (null-terminated): a word
    /// matches the first name it begins with, whose position goes to the
    /// word's slot of `out`; an unmatched word leaves its slot as it was.
    /// Answers the number of words read.
    int getEnums(std::string_view path, int* out, int max, const char* const* names) const;

    /// The node `find(path)` gives, or else a new last child named by the
    /// whole of `path` (dots included). The reference stays valid until the
    /// children of the node it lies in change again.
    Property& obtain(std::string_view path);

    int nodeType() const override;
    unsigned count() const override;
    int itemType(int index) const override;
    /// The child as a `Property` pointer; null when out of range.
    ItemValue itemValue(int index) const override;
    /// The child's value; the empty text when out of range.
    const char* itemText(int index) const override;
    unsigned forEach(Visitor& visitor) const override;

private:
    std::vector<Property> children_;
};

/// One node of a `Properties` tree: a name, an optional type annotation and
/// a value, all texts, plus children of its own.
class Property : public Properties {
public:
    /// A node named `name` with empty type and value. `owner` is the node it
    /// is created under; it is kept for information only (copies keep it as
    /// it was) and never dereferenced here.
    Property(std::string name, const Properties* owner);
    Property(const Property& other);
    Property(Property&& other) noexcept;
    Property& operator=(const Property& other);
    Property& operator=(Property&& other) noexcept;
    ~Property() override;

    const std::string& name() const { return name_; }
    const std::string& type() const { return type_; }
    const std::string& value() const { return value_; }
    const Properties* owner() const { return owner_; }
    void setType(std::string type) { type_ = std::move(type); }
    void setValue(std::string value) { value_ = std::move(value); }

    /// Takes the type and value of `source`, then merges each of its
    /// children, in order, into `obtain(child name)` of this node. `source`
    /// may be this node or lie inside it: it is copied before the merge.
    void merge(const Property& source);

private:
    void mergeFrom(const Property& source);

    std::string name_;
    std::string type_;
    std::string value_;
    const Properties* owner_;
};
