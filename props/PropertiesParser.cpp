// PropertiesParser
//   [Error]      message texts
//   [Reading]    files, characters, line counting, includes
//   [Tokens]     the token kinds, decided by their first character
//   [Statements] statements, blocks and references
#include "props/PropertiesParser.h"
#include "props/FileFinder.h"
#include "props/Properties.h"
#include "support/Files.h"

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
    switch (static_cast<ErrorCode>(code)) {
    case ErrorCode::unexpectedEquals:
        return "No se esperaba =";
    case ErrorCode::unexpectedColon:
        return "No se esperaba :";
    case ErrorCode::unexpectedReference:
        return "No se esperaba $";
    case ErrorCode::textExpected:
        return "Se espera un texto";
    case ErrorCode::unknownProperty:
        return "Propiedad desconocida";
    case ErrorCode::closeExpected:
        return "Se esperaba }";
    case ErrorCode::syntax:
        return "Sintaxis";
    case ErrorCode::includeFailed:
        return "No se pudo abrir include";
    }
    return "?";
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
    const std::filesystem::path file = support::filePath(path);
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return nullptr;
    auto stream = std::make_unique<std::filebuf>();
    if (stream->open(file, std::ios::in | std::ios::binary) == nullptr)
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
        fail(ErrorCode::includeFailed);
    std::unique_ptr<std::filebuf> stream = open(name);
    if (stream == nullptr)
        fail(ErrorCode::includeFailed);
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
    case '<':
        readInclude();
        return Token::endOfStatement;
    case '#':
        do
            c = get();
        while (c != EOF && c != '\n' && c != '\r');
        unget(c);
        return Token::endOfStatement;
    case '"':
    case '\'': {
        // Quoted texts may span lines; their line feeds are not counted.
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

// "<name>" up to the line's end: the named file is read from here on.
void PropertiesParser::readInclude() {
    std::string name;
    int c;
    for (c = get(); c != EOF && c != '>' && c != '\n' && c != '\r'; c = get())
        name += static_cast<char>(c);
    if (c != '>')
        unget(c);
    include(name);
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
        Statement statement;
        Token end = readStatement(statement);
        if (statement.seen || end == Token::open)
            applyStatement(node, depth, statement, end == Token::open);
        if (end == Token::close) {
            closeAhead_ = true;
            return end;
        }
        if (end == Token::endOfInput)
            return end;
    }
}

// Reads the tokens of one statement up to the one that ends it (answered):
// "name = type : value", with "$path" in place of the type.
PropertiesParser::Token PropertiesParser::readStatement(Statement& st) {
    for (;;) {
        std::string text;
        Token token = next(text);
        if (token == Token::text) {
            st.pending = std::move(text);
            st.seen = true;
        } else if (token == Token::equals) {
            if (st.stage != 0)
                fail(ErrorCode::unexpectedEquals);
            st.name = std::move(st.pending);
            st.pending.clear();
            st.stage = 1;
        } else if (token == Token::colon) {
            if (st.stage == 2)
                fail(ErrorCode::unexpectedColon);
            st.type = std::move(st.pending);
            st.pending.clear();
            st.stage = 2;
        } else if (token == Token::reference) {
            if (st.stage == 2 || !st.pending.empty())
                fail(ErrorCode::unexpectedReference);
            if (next(st.referencePath) != Token::text)
                fail(ErrorCode::textExpected);
            if (root_->find(st.referencePath) == nullptr)
                fail(ErrorCode::unknownProperty);
            st.referenced = true;
            st.seen = true;
            st.stage = 2;
        } else {
            return token;
        }
    }
}

// Makes (or reaches) the statement's node under `node` and gives it the
// referenced tree, the type and the value; then reads its block, when the
// statement `opens` one.
void PropertiesParser::applyStatement(Properties& node, int depth, const Statement& st, bool opens) {
    // A dotted name may reach an existing node further down.
    int targetDepth = depth + (node.find(st.name) != nullptr ? dots(st.name) + 1 : 1);
    if (opens && targetDepth > maxDepth)
        fail(ErrorCode::syntax);
    const Property* source = st.referenced ? root_->find(st.referencePath) : nullptr;
    if (source != nullptr) {
        // References copy whole sub-trees; bound the copies so that a few
        // lines that double a tree again and again, or that nest a tree
        // inside itself, cannot exhaust memory, time (lookups scan the
        // children) or the stack.
        size_t bytes = 0;
        int height = 0;
        measure(*source, 1, bytes, height);
        referencedBytes_ += bytes;
        if (referencedBytes_ > maxReferencedBytes || targetDepth + height - 1 > maxDepth + 1)
            fail(ErrorCode::syntax);
    }
    // The lookup above is repeated after the statement's node is made,
    // because making it may move the nodes of its block.
    Property& target = node.obtain(st.name);
    const Property* again = st.referenced ? root_->find(st.referencePath) : nullptr;
    if (again != nullptr)
        target.merge(*again);
    else if (!st.type.empty())
        target.setType(st.type);
    if (!st.pending.empty())
        target.setValue(st.pending);
    if (opens) {
        parseBlock(target, targetDepth);
        std::string unused;
        if (next(unused) != Token::close)
            fail(ErrorCode::closeExpected);
    }
}

void PropertiesParser::fail(ErrorCode code) {
    lastError_ = static_cast<int>(code);
    throw Error(lastError_, current_.line, current_.fileName);
}
