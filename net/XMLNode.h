#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace MiniXML {

class XMLElementNode;

/// A node of the document tree. A node appended to an element is owned by
/// that element, its `parent`.
class XMLNode {
public:
    XMLNode() = default;
    XMLNode(const XMLNode&) = delete;
    XMLNode& operator=(const XMLNode&) = delete;
    virtual ~XMLNode();

    /// 0 text, 1 element, 2 CDATA.
    virtual int nodeType() const = 0;
    /// The node's text; for an element the text of its first child, or the
    /// empty string when it has none.
    virtual std::string text() const = 0;
    /// A deep copy appended to `newParent`, which owns it.
    virtual XMLNode* clone(XMLElementNode& newParent) const = 0;

    /// Source line where the parser made the node (0 for nodes made in code).
    int32_t line = 0;
    /// The owning element; null for a root. Not owning.
    XMLElementNode* parent = nullptr;
};

class XMLTextNode : public XMLNode {
public:
    explicit XMLTextNode(std::string text = {}) : value(std::move(text)) {}
    ~XMLTextNode() override;

    int nodeType() const override { return 0; }
    std::string text() const override { return value; }
    XMLNode* clone(XMLElementNode& newParent) const override;

    void append(const char* data, size_t length) { value.append(data, length); }

    std::string value;
};

class XMLCDataNode : public XMLNode {
public:
    explicit XMLCDataNode(std::string text = {}) : value(std::move(text)) {}
    ~XMLCDataNode() override;

    int nodeType() const override { return 2; }
    std::string text() const override { return value; }
    XMLNode* clone(XMLElementNode& newParent) const override;

    std::string value;
};

class XMLElementNode : public XMLNode {
public:
    explicit XMLElementNode(std::string elementName) : name(std::move(elementName)) {}
    ~XMLElementNode() override;

    int nodeType() const override { return 1; }
    std::string text() const override;
    XMLNode* clone(XMLElementNode& newParent) const override;
    /// A deep copy without a parent.
    std::unique_ptr<XMLElementNode> cloneElement() const;

    /// The value of the named attribute (exact, case-sensitive name), or
    /// null when there is none.
    const char* attribute(const std::string& attributeName) const;
    /// Inserts or replaces.
    void setAttribute(const std::string& attributeName, const std::string& value);

    /// Appends a child and answers it; this element owns it from now on.
    XMLNode* appendChild(std::unique_ptr<XMLNode> child);
    XMLElementNode* addElement(const std::string& elementName);
    XMLTextNode* addText(const std::string& value);
    XMLCDataNode* addCData(const std::string& value);
    /// The last child, or null.
    XMLNode* lastChild() const { return children.empty() ? nullptr : children.back().get(); }

    /// Walks the child elements in order, all of them or only those with
    /// one name (an empty filter takes every element).
    class Iterator {
    public:
        explicit Iterator(const XMLElementNode& element, std::string filter = {})
            : element_(element), filter_(std::move(filter)) {}
        /// The next matching child element, or null at the end.
        XMLElementNode* next();

    private:
        const XMLElementNode& element_;
        std::string filter_;
        size_t position_ = 0;
    };

    std::string name;
    /// Ordered by name, so documents always list attributes sorted.
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<XMLNode>> children;
};

/// An encoding and a root element (owned, may be null).
class XMLDocument {
public:
    XMLDocument() = default;
    /// A document with a parentless root of that name and no encoding.
    explicit XMLDocument(const std::string& rootName) : root(std::make_unique<XMLElementNode>(rootName)) {}
    explicit XMLDocument(std::unique_ptr<XMLElementNode> rootElement) : root(std::move(rootElement)) {}

    std::string encoding;
    std::unique_ptr<XMLElementNode> root;
};

} // namespace MiniXML
