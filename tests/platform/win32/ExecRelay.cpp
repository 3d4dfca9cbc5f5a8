// Hands off as the launcher and hoplin do: replaces itself, through the
// platform's hand-off, with the program named on the first line of
// "relay.txt" in its current folder, giving it the words of the lines after.
#include "platform/Process.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main() {
    std::ifstream list("relay.txt", std::ios::binary);
    std::string program;
    if (!std::getline(list, program))
        return 2;
    std::vector<std::string> words;
    for (std::string word; std::getline(list, word);)
        words.push_back(word);
    std::string why;
    platform::replaceProcess(program, words, &why);
    std::fprintf(stderr, "relay: %s\n", why.c_str());
    return 3;
}
