// Started by the entry tests with quoted words: writes the words the
// launcher's splitter takes from its own command line, one a line, to the
// file its first word names.
#include "app/CommandLine.h"
#include "platform/ProgramPath.h"

#include <fstream>

int main() {
    std::vector<std::string> words = app::commandLineWords(platform::commandLine(), 9);
    if (words.empty())
        return 1;
    std::ofstream out(words[0], std::ios::binary);
    for (size_t i = 1; i < words.size(); ++i)
        out << words[i] << '\n';
    return out ? 0 : 1;
}
