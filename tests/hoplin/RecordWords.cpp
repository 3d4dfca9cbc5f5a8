// Stands in for the launcher in hoplin's tests: writes the words it was
// started with (UTF-8), one a line, to "words.txt" in its current directory.
#include "platform/ProgramPath.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* out = std::fopen("words.txt", "wb");
    if (out == nullptr)
        return 1;
    for (const std::string& word : platform::programArguments(argc, argv))
        std::fprintf(out, "%s\n", word.c_str());
    std::fclose(out);
    return 0;
}
