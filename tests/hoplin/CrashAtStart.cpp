// Stands in for a new launcher that cannot start (a missing library, a bad
// build): adds a line to "crashes.txt" in its current directory and ends
// with 3 before any confirmation.
#include <cstdio>
#include <cstdlib>

int main() {
    if (std::FILE* out = std::fopen("crashes.txt", "ab")) {
        std::fputs("crash\n", out);
        std::fclose(out);
    }
    std::_Exit(3);
}
