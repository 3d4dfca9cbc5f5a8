// Stands in for the launcher in hoplin's tests: writes the words it was
// started with, one a line, to "words.txt" in its current directory.
#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* out = std::fopen("words.txt", "wb");
    if (out == nullptr)
        return 1;
    for (int i = 0; i < argc; ++i)
        std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    return 0;
}
