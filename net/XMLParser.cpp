#include "net/XMLParser.h"

// The amplification limits of the tokenizer are declared only with DTD
// support, which the system library is built with.
#define XML_DTD
#include <expat.h>

#include <new>

namespace MiniXML {

namespace {

constexpr size_t chunkSize = 10240;
// Expanded entity text the tokenizer allows before it starts checking the
// amplification ratio.
constexpr unsigned long long amplificationThreshold = 1u << 20;

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

} // namespace

// Collects the tree from the tokenizer's callbacks. No exception may cross
// the C callbacks: a failure is recorded and the tokenizer stopped.
struct XMLParser::Builder {
    XML_Parser parser = nullptr;
    std::unique_ptr<XMLElementNode> root;
    XMLElementNode* current = nullptr;
    XMLCDataNode* cdata = nullptr;
    int depth = 0;
    std::string encoding = "UTF-8";
    std::string failure;

    void fail(const char* why) {
        if (failure.empty())
            failure = why;
        XML_StopParser(parser, XML_FALSE);
    }

    int32_t lineNow() const { return static_cast<int32_t>(XML_GetCurrentLineNumber(parser)); }

    static void startElement(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* self = static_cast<Builder*>(data);
        try {
            if (++self->depth > maxDepth) {
                self->fail("elements nested too deeply");
                return;
            }
            XMLElementNode* element;
            if (self->current == nullptr) {
                if (self->root) {
                    self->fail("more than one root element");
                    return;
                }
                self->root = std::make_unique<XMLElementNode>(name);
                element = self->root.get();
            } else {
                element = self->current->addElement(name);
            }
            element->line = self->lineNow();
            for (const XML_Char** pair = attributes; pair[0] != nullptr; pair += 2)
                element->setAttribute(pair[0], pair[1]);
            self->current = element;
        } catch (const std::bad_alloc&) {
            self->fail("out of memory");
        }
    }

    static void endElement(void* data, const XML_Char*) {
        auto* self = static_cast<Builder*>(data);
        --self->depth;
        if (self->current != nullptr)
            self->current = self->current->parent;
    }

    static void startCData(void* data) {
        auto* self = static_cast<Builder*>(data);
        if (self->current == nullptr)
            return;
        try {
            self->cdata = self->current->addCData(std::string());
            self->cdata->line = self->lineNow();
        } catch (const std::bad_alloc&) {
            self->fail("out of memory");
        }
    }

    static void endCData(void* data) { static_cast<Builder*>(data)->cdata = nullptr; }

    static void characters(void* data, const XML_Char* text, int length) {
        auto* self = static_cast<Builder*>(data);
        if (self->current == nullptr || length <= 0)
            return;
        try {
            if (self->cdata != nullptr) {
                self->cdata->value.append(text, static_cast<size_t>(length));
                return;
            }
            XMLNode* last = self->current->lastChild();
            if (last != nullptr && last->nodeType() == 0) {
                static_cast<XMLTextNode*>(last)->append(text, static_cast<size_t>(length));
                return;
            }
            XMLTextNode* node = self->current->addText(std::string(text, static_cast<size_t>(length)));
            node->line = self->lineNow();
        } catch (const std::bad_alloc&) {
            self->fail("out of memory");
        }
    }

    static void declaration(void* data, const XML_Char*, const XML_Char* encoding, int) {
        auto* self = static_cast<Builder*>(data);
        if (encoding == nullptr)
            return;
        try {
            self->encoding = encoding;
        } catch (const std::bad_alloc&) {
            self->fail("out of memory");
        }
    }
};

XMLParser::XMLParser() = default;
XMLParser::~XMLParser() = default;

bool XMLParser::parse(std::istream& in) {
    document_.reset();
    errorMessage.clear();
    errorLine = 0;
    errorColumn = 0;
    encoding = "UTF-8";

    std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        errorMessage = "out of memory";
        return false;
    }
    Builder builder;
    builder.parser = parser.get();
    XML_SetUserData(parser.get(), &builder);
    XML_SetElementHandler(parser.get(), &Builder::startElement, &Builder::endElement);
    XML_SetCdataSectionHandler(parser.get(), &Builder::startCData, &Builder::endCData);
    XML_SetCharacterDataHandler(parser.get(), &Builder::characters);
    XML_SetXmlDeclHandler(parser.get(), &Builder::declaration);
    // No external-entity handler is installed: external entities and the
    // external DTD subset are never fetched.
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser.get(), amplificationThreshold);

    char chunk[chunkSize];
    bool ok = true;
    while (ok) {
        in.read(chunk, chunkSize);
        std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        ok = XML_Parse(parser.get(), chunk, static_cast<int>(got), XML_FALSE) == XML_STATUS_OK;
    }
    if (ok)
        ok = XML_Parse(parser.get(), chunk, 0, XML_TRUE) == XML_STATUS_OK;
    if (ok && !builder.root) {
        builder.failure = "no root element";
        ok = false;
    }

    encoding = builder.encoding;
    if (!ok) {
        errorMessage =
            !builder.failure.empty() ? builder.failure : XML_ErrorString(XML_GetErrorCode(parser.get()));
        errorLine = static_cast<int32_t>(XML_GetCurrentLineNumber(parser.get()));
        errorColumn = static_cast<int32_t>(XML_GetCurrentColumnNumber(parser.get()));
        return false;
    }
    document_ = std::make_unique<XMLDocument>(std::move(builder.root));
    return true;
}

} // namespace MiniXML
