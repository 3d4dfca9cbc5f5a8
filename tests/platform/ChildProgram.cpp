// A child for the process tests. "wait" waits until it is killed; "count"
// ends with the number of its arguments (its name included). A number
// as the first word: it prints its current folder, the words after the
// number each in brackets, and MORAVO_CHILD, copies its standard input to
// standard error, and ends with that number.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2)
        return 100;
    if (std::string(argv[1]) == "wait") {
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (std::string(argv[1]) == "count")
        return argc;
    std::printf("%s\n", std::filesystem::current_path().string().c_str());
    for (int i = 2; i < argc; ++i)
        std::printf("[%s]\n", argv[i]);
    const char* value = std::getenv("MORAVO_CHILD");
    std::printf("%s\n", value != nullptr ? value : "(unset)");
    for (int c = std::getchar(); c != EOF; c = std::getchar())
        std::fputc(c, stderr);
    return std::atoi(argv[1]);
}
