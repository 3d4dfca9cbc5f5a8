#include "net/XMLWriter.h"

#include <string>

namespace MiniXML {

namespace {

// Text keeps quotes as they are. Attribute values are written between double
// quotes, so a quote inside one is escaped too: left bare it would end the
// value early and let the rest pass for attributes of its own.
void writeEscaped(std::ostream& out, const std::string& value, bool attribute) {
    size_t start = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char* entity = nullptr;
        switch (value[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            if (attribute)
                entity = "&quot;";
            break;
        default:
            break;
        }
        if (entity == nullptr)
            continue;
        out.write(value.data() + start, static_cast<std::streamsize>(i - start));
        out << entity;
        start = i + 1;
    }
    out.write(value.data() + start, static_cast<std::streamsize>(value.size() - start));
}

// A section cannot hold its own end marker: one made in code that does is
// split in two sections, which read back as the same bytes.
void writeCData(std::ostream& out, const std::string& value) {
    out << "<![CDATA[";
    size_t start = 0;
    for (size_t end = value.find("]]>"); end != std::string::npos; end = value.find("]]>", start)) {
        out.write(value.data() + start, static_cast<std::streamsize>(end + 2 - start));
        out << "]]><![CDATA[";
        start = end + 2;
    }
    out.write(value.data() + start, static_cast<std::streamsize>(value.size() - start));
    out << "]]>";
}

void blanks(std::ostream& out, int count) {
    for (int i = 0; i < count; ++i)
        out.put(' ');
}

} // namespace

void writeElement(const XMLElementNode& element, std::ostream& out, int depth) {
    if (depth > 1)
        blanks(out, depth - 1);
    out << '<' << element.name;
    for (const auto& [name, value] : element.attributes) {
        out << ' ' << name << "=\"";
        writeEscaped(out, value, true);
        out << '"';
    }
    if (element.children.empty()) {
        out << " />";
        if (depth != 0)
            out << '\n';
        return;
    }
    out << '>';
    const int childDepth = depth != 0 ? depth + 1 : 0;
    bool textSeen = false;
    bool first = true;
    for (const auto& child : element.children) {
        switch (child->nodeType()) {
        case 0:
            writeEscaped(out, static_cast<const XMLTextNode&>(*child).value, false);
            textSeen = true;
            break;
        case 1:
            if (first && childDepth != 0)
                out << '\n';
            writeElement(static_cast<const XMLElementNode&>(*child), out, childDepth);
            break;
        case 2:
            writeCData(out, static_cast<const XMLCDataNode&>(*child).value);
            break;
        default:
            break;
        }
        first = false;
    }
    if ((element.children.size() > 1 || !textSeen) && childDepth > 2)
        blanks(out, childDepth - 2);
    out << "</" << element.name << '>';
    if (childDepth != 0)
        out << '\n';
}

void write(const XMLDocument& document, std::ostream& out, int depth) {
    if (!document.encoding.empty()) {
        out << "<?xml version=\"1.0\" encoding=\"" << document.encoding << "\"?>\n";
        out.flush();
    }
    if (document.root)
        writeElement(*document.root, out, depth);
}

} // namespace MiniXML
