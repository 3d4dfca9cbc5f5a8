#include "net/XMLNode.h"

namespace MiniXML {

XMLNode::~XMLNode() = default;
XMLTextNode::~XMLTextNode() = default;
XMLCDataNode::~XMLCDataNode() = default;

XMLElementNode::~XMLElementNode() {
    children.clear();
    attributes.clear();
}

XMLNode* XMLTextNode::clone(XMLElementNode& newParent) const {
    return newParent.addText(value);
}

XMLNode* XMLCDataNode::clone(XMLElementNode& newParent) const {
    return newParent.addCData(value);
}

std::string XMLElementNode::text() const {
    return children.empty() ? std::string() : children.front()->text();
}

XMLNode* XMLElementNode::clone(XMLElementNode& newParent) const {
    XMLElementNode* copy = newParent.addElement(name);
    copy->attributes = attributes;
    for (const auto& child : children)
        child->clone(*copy);
    return copy;
}

std::unique_ptr<XMLElementNode> XMLElementNode::cloneElement() const {
    auto copy = std::make_unique<XMLElementNode>(name);
    copy->attributes = attributes;
    for (const auto& child : children)
        child->clone(*copy);
    return copy;
}

const char* XMLElementNode::attribute(const std::string& attributeName) const {
    auto found = attributes.find(attributeName);
    return found == attributes.end() ? nullptr : found->second.c_str();
}

void XMLElementNode::setAttribute(const std::string& attributeName, const std::string& value) {
    attributes[attributeName] = value;
}

XMLNode* XMLElementNode::appendChild(std::unique_ptr<XMLNode> child) {
    child->parent = this;
    children.push_back(std::move(child));
    return children.back().get();
}

XMLElementNode* XMLElementNode::addElement(const std::string& elementName) {
    return static_cast<XMLElementNode*>(appendChild(std::make_unique<XMLElementNode>(elementName)));
}

XMLTextNode* XMLElementNode::addText(const std::string& value) {
    return static_cast<XMLTextNode*>(appendChild(std::make_unique<XMLTextNode>(value)));
}

XMLCDataNode* XMLElementNode::addCData(const std::string& value) {
    return static_cast<XMLCDataNode*>(appendChild(std::make_unique<XMLCDataNode>(value)));
}

XMLElementNode* XMLElementNode::Iterator::next() {
    while (position_ < element_.children.size()) {
        XMLNode* child = element_.children[position_++].get();
        if (child->nodeType() != 1)
            continue;
        auto* element = static_cast<XMLElementNode*>(child);
        if (filter_.empty() || element->name == filter_)
            return element;
    }
    return nullptr;
}

} // namespace MiniXML
