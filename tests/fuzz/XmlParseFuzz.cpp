// Parses arbitrary bytes; whatever parses from UTF-8 must write out as a
// document that parses again, and writing becomes stable after one round.
// Other encodings are only parsed: the tokenizer accepts some name
// characters in Latin-1 and UTF-16 that it refuses in UTF-8, so their
// documents need not read back once written as UTF-8.

#include "net/XMLParser.h"
#include "net/XMLWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>

namespace {

bool isUtf8(const std::string& name) {
    return name == "UTF-8" || name == "utf-8" || name == "Utf-8";
}

bool roundTrip(const std::string& text, std::string& out, bool& utf8) {
    MiniXML::XMLParser parser;
    std::istringstream in(text);
    if (!parser.parse(in))
        return false;
    utf8 = isUtf8(parser.encoding) && text.find('\0') == std::string::npos &&
           !(text.size() >= 2 && static_cast<unsigned char>(text[0]) >= 0xFE);
    std::ostringstream written;
    MiniXML::write(*parser.document(), written, 0);
    out = written.str();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string first;
    bool utf8 = false;
    if (!roundTrip(std::string(reinterpret_cast<const char*>(data), size), first, utf8) || !utf8)
        return 0;
    std::string second, third;
    if (!roundTrip(first, second, utf8) || !roundTrip(second, third, utf8))
        std::abort();
    if (second != third)
        std::abort();
    return 0;
}
