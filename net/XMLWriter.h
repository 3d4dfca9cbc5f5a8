#pragma once
#include "net/XMLNode.h"

#include <ostream>

namespace MiniXML {

/// Writes the XML declaration (when the document has an encoding) and the
/// root element. Depth 0 writes compactly, with no indentation and no line
/// breaks; depth 1 and more put each child element on a line of its own,
/// indented one blank a level.
void write(const XMLDocument& document, std::ostream& out, int depth);

/// Writes one element and its subtree at `depth`, as `write` does.
void writeElement(const XMLElementNode& element, std::ostream& out, int depth);

} // namespace MiniXML
