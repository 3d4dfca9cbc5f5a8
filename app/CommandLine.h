#pragma once
#include <string>
#include <vector>

namespace app {

/// Splits a command line into words in place: stores in `words` pointers
/// into `line` (at most `max`, followed by a null pointer when there is room)
/// and answers how many words the line holds. A word is a run of non-blank
/// characters, or the text between a double quote and the next double quote
/// not preceded by a backslash (the backslash stays in the word). Once `max`
/// words are stored the last one is not cut: it runs to the end of the line.
int splitCommandLine(char* line, char** words, int max);

/// The part of a whole command line, as Windows keeps it for a process,
/// that follows the program's own name: the name runs to the closing double
/// quote when it starts with one, else to the first blank; the blanks after
/// it are skipped.
const char* argumentsOf(const char* commandLine);

/// The words of a whole command line after the program's name, split by
/// `splitCommandLine` (at most `max`).
std::vector<std::string> commandLineWords(const std::string& commandLine, int max);

/// The words a program received already split, shaped as the splitter would
/// hand them over: at most `max`; with more, the last one is the rest joined
/// by single blanks.
std::vector<std::string> limitWords(const std::vector<std::string>& words, size_t max);

} // namespace app
