// Stands in for the launcher in hoplin's tests: writes the words it was
// started with (UTF-8), one a line, to "words.txt" in its current directory,
// then confirms its start as the launcher does after its first frame.
#include "install/SelfUpdateJob.h"
#include "platform/ProgramPath.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::FILE* out = std::fopen("words.txt", "wb");
    if (out == nullptr)
        return 1;
    for (const std::string& word : platform::programArguments(argc, argv))
        std::fprintf(out, "%s\n", word.c_str());
    std::fclose(out);
    if (const char* token = std::getenv(startTokenVariable))
        confirmStart(".", token);
    return 0;
}
