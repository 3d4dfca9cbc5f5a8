#pragma once
#include "net/XMLNode.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

namespace MiniXML {

/// Builds a document from a stream. Entity expansion stays bounded against
/// amplification attacks, external entities are never loaded, and nesting
/// deeper than `maxDepth` is an error.
class XMLParser {
public:
    static constexpr int maxDepth = 256;

    XMLParser();
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;
    ~XMLParser();

    /// True on success; the document is then `document()`, owned by the
    /// parser. On failure the error fields tell what and where.
    bool parse(std::istream& in);

    XMLDocument* document() const { return document_.get(); }
    /// Hands the parsed document over to the caller.
    std::unique_ptr<XMLDocument> takeDocument() { return std::move(document_); }

    std::string errorMessage;
    int32_t errorLine = 0;
    int32_t errorColumn = 0;
    /// The encoding of the XML declaration, "UTF-8" when there is none.
    std::string encoding;

private:
    struct Builder;
    std::unique_ptr<XMLDocument> document_;
};

} // namespace MiniXML
