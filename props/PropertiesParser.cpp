// PropertiesParser
//   [Error]      message texts
//   [Reading]    files, characters, line counting, includes
//   [Tokens]     the token kinds, decided by their first character
//   [Statements] statements, blocks and references
#include "props/PropertiesParser.h"
#include "props/FileFinder.h"
#include "props/Properties.h"

#include <cstdio>
#include <filesystem>

// [Error] -------------------------------------------------------------------

PropertiesParser::Error::Error(int code, int line, std::string fileName)
    : code_(code), line_(line), fileName_(std::move(fileName)) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "Error %d en l\xC3\xADnea %d: %s", code, line, text(code));
    message_ = buffer;
}

const char* PropertiesParser::Error::what() const noexcept {
    return message_.c_str();
}

const char* PropertiesParser::Error::text(int code) {
    switch (code) {
    case 1:
        return "No se esperaba =";
    case 2:
        return "No se esperaba :";
    case 3:
        return "No se esperaba $";
    case 4:
        return "Se espera un texto";
    case 5:
        return "Propiedad desconocida";
    case 6:
        return "Se esperaba }";
    case 7:
        return "Sintaxis";
    case 8:
        return "No se pudo abrir include";
    default:
        return "?";
    }
}

// [Reading] -----------------------------------------------------------------

namespace {

const FileFinder identityFinder;

} // namespace

PropertiesParser::PropertiesParser(const std::string& fileName, const FileFinder* resolver)
    : resolver_(resolver != nullptr ? resolver : &identityFinder) {
    current_.fileName = fileName;
    current_.stream = open(fileName);
}

PropertiesParser::~PropertiesParser() = default;

std::unique_ptr<std::filebuf> PropertiesParser::open(const std::string& name) const {
    std::string path;
    resolver_->resolve(path, name, nullptr);
    // A directory opens as a stream that reads nothing; it is not a file.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return nullptr;
    auto stream = std::make_unique<std::filebuf>();
    if (stream->open(path, std::ios::in | std::ios::binary) == nullptr)
        return nullptr;
    return stream;
}

int PropertiesParser::get(bool countLines) {
    Source& s = current_;
    if (s.ahead != noChar) {
        int c = s.ahead;
        s.ahead = noChar;
        return c;
    }
    int c = s.stream->sbumpc();
    if (c == std::char_traits<char>::eof())
        return EOF;
    if (s.lineEnded) {
        ++s.line;
        s.lineEnded = false;
    }
    // Files are read as text: CR LF is one LF. A lone CR stays a CR.
    if (c == '\r' && s.stream->sgetc() == '\n') {
        s.stream->sbumpc();
        c = '\n';
    }
    if (c == '\n' && countLines)
        s.lineEnded = true;
    return c;
}

void PropertiesParser::include(const std::string& name) {
    // A few files that include each other many times over would otherwise
    // be read a number of times that grows with the power of their nesting.
    if (static_cast<int>(stack_.size()) + 1 >= maxOpenFiles || ++includes_ > maxIncludes)
        fail(8);
    std::unique_ptr<std::filebuf> stream = open(name);
    if (stream == nullptr)
        fail(8);
    stack_.push_back(std::move(current_));
    current_ = Source();
    current_.stream = std::move(stream);
    current_.fileName = name;
}

// [Tokens] ------------------------------------------------------------------

namespace {

bool endsWord(int c) {
    switch (c) {
    case EOF:
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case ';':
    case '{':
    case '}':
    case '=':
    case ':':
    case '$':
    case '"':
    case '\'':
        return true;
    default:
        return false;
    }
}

} // namespace

PropertiesParser::Token PropertiesParser::next(std::string& text) {
    if (closeAhead_) {
        closeAhead_ = false;
        return Token::close;
    }
    int c = get();
    while (c == ' ' || c == '\t')
        c = get();
    switch (c) {
    case EOF:
        if (stack_.empty())
            return Token::endOfInput;
        // The end of an included file closes it and ends a statement.
        current_ = std::move(stack_.back());
        stack_.pop_back();
        return Token::endOfStatement;
    case '\n':
    case '\r':
    case ';':
        return Token::endOfStatement;
    case '=':
        return Token::equals;
    case ':':
        return Token::colon;
    case '{':
        return Token::open;
    case '}':
        return Token::close;
    case '$':
        return Token::reference;
    case '<': {
        std::string name;
        for (c = get(); c != EOF && c != '>' && c != '\n' && c != '\r'; c = get())
            name += static_cast<char>(c);
        if (c != '>')
            unget(c);
        include(name);
        return Token::endOfStatement;
    }
    case '#':
        do
            c = get();
        while (c != EOF && c != '\n' && c != '\r');
        unget(c);
        return Token::endOfStatement;
    case '"':
    case '\'': {
        int quote = c;
        text.clear();
        for (c = get(false); c != EOF && c != quote; c = get(false))
            text += static_cast<char>(c);
        return Token::text;
    }
    default:
        text.assign(1, static_cast<char>(c));
        for (c = get(); !endsWord(c); c = get())
            text += static_cast<char>(c);
        unget(c);
        return Token::text;
    }
}

// [Statements] --------------------------------------------------------------

namespace {

// What copying the tree under `node` costs, and its height (a leaf is 1
// high).
void measure(const Property& node, int level, size_t& bytes, int& height) {
    bytes += PropertiesParser::nodeCost + node.name().size() + node.type().size() + node.value().size();
    if (level > height)
        height = level;
    for (unsigned i = 0; i < node.count(); ++i)
        measure(*node.child(static_cast<int>(i)), level + 1, bytes, height);
}

int dots(const std::string& path) {
    int n = 0;
    for (char c : path)
        n += c == '.';
    return n;
}

} // namespace

Properties* PropertiesParser::parse(Properties& root) {
    if (current_.stream == nullptr)
        return nullptr;
    root_ = &root;
    parseBlock(root, 0);
    return &root;
}

std::unique_ptr<Properties> PropertiesParser::parse() {
    if (current_.stream == nullptr)
        return nullptr;
    auto root = std::make_unique<Properties>();
    parse(*root);
    return root;
}

// Reads statements into `node`, which lies `depth` levels below the root,
// until one ends with a close (kept for the enclosing block) or with the
// end of the input; answers that token.
PropertiesParser::Token PropertiesParser::parseBlock(Properties& node, int depth) {
    for (;;) {
        std::string pending, name, type, referencePath;
        int stage = 0;
        bool referenced = false;
        bool seen = false;
        Token end;
        for (;;) {
            std::string text;
            Token token = next(text);
            if (token == Token::text) {
                pending = std::move(text);
                seen = true;
            } else if (token == Token::equals) {
                if (stage != 0)
                    fail(1);
                name = std::move(pending);
                pending.clear();
                stage = 1;
            } else if (token == Token::colon) {
                if (stage == 2)
                    fail(2);
                type = std::move(pending);
                pending.clear();
                stage = 2;
            } else if (token == Token::reference) {
                if (stage == 2 || !pending.empty())
                    fail(3);
                if (next(referencePath) != Token::text)
                    fail(4);
                if (root_->find(referencePath) == nullptr)
                    fail(5);
                referenced = true;
                seen = true;
                stage = 2;
            } else {
                end = token;
                break;
            }
        }

        if (seen || end == Token::open) {
            // A dotted name may reach an existing node further down.
            int targetDepth = depth + (node.find(name) != nullptr ? dots(name) + 1 : 1);
            if (end == Token::open && targetDepth > maxDepth)
                fail(7);
            const Property* source = referenced ? root_->find(referencePath) : nullptr;
            if (source != nullptr) {
                // References copy whole sub-trees; bound the copies so that a
                // few lines that double a tree again and again, or that nest
                // a tree inside itself, cannot exhaust memory, time (lookups
                // scan the children) or the stack.
                size_t bytes = 0;
                int height = 0;
                measure(*source, 1, bytes, height);
                referencedBytes_ += bytes;
                if (referencedBytes_ > maxReferencedBytes || targetDepth + height - 1 > maxDepth + 1)
                    fail(7);
            }
            // The lookup above is repeated after the statement's node is made,
            // because making it may move the nodes of its block.
            Property& target = node.obtain(name);
            const Property* again = referenced ? root_->find(referencePath) : nullptr;
            if (again != nullptr)
                target.merge(*again);
            else if (!type.empty())
                target.setType(type);
            if (!pending.empty())
                target.setValue(pending);
            if (end == Token::open) {
                parseBlock(target, targetDepth);
                std::string unused;
                if (next(unused) != Token::close)
                    fail(6);
            }
        }

        if (end == Token::close) {
            closeAhead_ = true;
            return end;
        }
        if (end == Token::endOfInput)
            return end;
    }
}

void PropertiesParser::fail(int code) {
    lastError_ = code;
    throw Error(code, current_.line, current_.fileName);
}
