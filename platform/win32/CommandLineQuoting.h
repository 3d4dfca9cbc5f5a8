#pragma once
// How words are written into a Windows command line so that the program
// started reads them back exactly: the run-time library's splitter and
// CommandLineToArgvW follow the same rules for the arguments, and a simpler
// one for the program's name.
#include <string>

namespace platform {

/// `word` as one argument of a command line: as it is when it holds no
/// blank, tab, line end or quote (and is not empty), else between double
/// quotes, with each quote and each run of backslashes before a quote (or
/// before the closing quote) escaped by a backslash.
std::string quotedArgument(const std::string& word);

/// A program's name as the first word of a command line, always between
/// double quotes: the splitters read the name up to the next quote and know
/// no escapes there (a name holding a quote cannot exist on Windows).
std::string quotedProgramName(const std::string& name);

} // namespace platform
