#pragma once
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class FileFinder;
class Properties;

/// Reads a properties file (named values, nested blocks, references to
/// earlier values, includes) into a `Properties` tree. One parser serves
/// one parse.
///
/// Input is read byte by byte; a CR LF pair is read as one LF. Hostile input
/// is bounded: at most `maxOpenFiles` files open at once and `maxIncludes`
/// include openings in all (`includeFailed` beyond), blocks nested at most
/// `maxDepth` deep, and references may copy at most `maxReferencedBytes`
/// (counting `nodeCost` for each node besides its texts) and may not carry
/// the tree deeper than blocks may (`syntax` beyond).
class PropertiesParser {
public:
    /// The syntax errors. Their numbers are part of the messages that the
    /// operator reads, and of `Error::code`: they never change.
    enum class ErrorCode : int {
        unexpectedEquals = 1,    // "=" after the statement's name, type or reference
        unexpectedColon = 2,     // ":" after the statement's type or reference
        unexpectedReference = 3, // "$" after a type, a reference or a text
        textExpected = 4,        // "$" not followed by a path
        unknownProperty = 5,     // "$" naming no property read so far
        closeExpected = 6,       // a block not closed by "}"
        syntax = 7,              // a block or a reference beyond the limits
        includeFailed = 8,       // an include that cannot be opened, or one too many
    };

    /// A syntax error: code 1 to 8 (an `ErrorCode`), the line of the file
    /// being read when it was found, and that file's name as it was given.
    class Error : public std::exception {
    public:
        Error(int code, int line, std::string fileName);
        int code() const { return code_; }
        int line() const { return line_; }
        const std::string& fileName() const { return fileName_; }
        /// "Error <code> en línea <line>: <text of the code>".
        const char* what() const noexcept override;
        /// The text of an error code ("?" for an unknown one).
        static const char* text(int code);

    private:
        int code_;
        int line_;
        std::string fileName_;
        std::string message_;
    };

    static constexpr int maxOpenFiles = 16;
    static constexpr int maxDepth = 256;
    static constexpr int maxIncludes = 1024;
    static constexpr size_t maxReferencedBytes = 1 << 20;
    static constexpr size_t nodeCost = 32;

    /// Resolves `fileName` through `resolver` (null: the name is the path)
    /// and opens it; a file that cannot be opened makes `parse` answer null.
    PropertiesParser(const std::string& fileName, const FileFinder* resolver = nullptr);
    PropertiesParser(const PropertiesParser&) = delete;
    PropertiesParser& operator=(const PropertiesParser&) = delete;
    ~PropertiesParser();

    /// Reads the file's statements into `root`; answers `&root`, or null when
    /// the file could not be opened. Raises `Error` on a syntax error, leaving
    /// the nodes made before it in `root`.
    Properties* parse(Properties& root);
    /// As above, into a new tree.
    std::unique_ptr<Properties> parse();

    /// The file being read (as its name was given) and its current line.
    const std::string& fileName() const { return current_.fileName; }
    int line() const { return current_.line; }
    /// The code of the last error raised, 0 when none.
    int lastError() const { return lastError_; }

private:
    enum class Token { endOfInput, endOfStatement, equals, colon, open, close, reference, text };
    static constexpr int noChar = -2;

    // One open file. `lineEnded` means the last character read was a line
    // feed: the line count moves on when the next character is read, so an
    // error found at a line's end reports that line. `ahead` is a character
    // read ahead and handed out again (noChar when none).
    struct Source {
        std::unique_ptr<std::filebuf> stream;
        std::string fileName;
        int line = 1;
        bool lineEnded = false;
        int ahead = noChar;
    };

    std::unique_ptr<std::filebuf> open(const std::string& name) const;
    int get(bool countLines = true);
    void unget(int c) { current_.ahead = c; }
    Token next(std::string& text);
    void include(const std::string& name);
    void readInclude();
    // What a statement has read so far. `stage` is 0 before its "=", 1
    // after it, 2 after its type or reference; `pending` is its last text.
    struct Statement {
        std::string pending, name, type, referencePath;
        int stage = 0;
        bool referenced = false;
        bool seen = false;
    };

    Token parseBlock(Properties& node, int depth);
    Token readStatement(Statement& statement);
    void applyStatement(Properties& node, int depth, const Statement& statement, bool opens);
    [[noreturn]] void fail(ErrorCode code);

    const FileFinder* resolver_;
    Source current_;
    std::vector<Source> stack_;
    bool closeAhead_ = false;
    Properties* root_ = nullptr;
    int includes_ = 0;
    size_t referencedBytes_ = 0;
    int lastError_ = 0;
};
