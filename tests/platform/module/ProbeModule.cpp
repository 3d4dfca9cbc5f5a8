// A module for the dynamic-library tests: one export that answers a known
// number, and one that lets the test see the module being unloaded.

namespace {

int* unloadFlag = nullptr;

struct UnloadWatch {
    ~UnloadWatch() {
        if (unloadFlag != nullptr)
            *unloadFlag = 1;
    }
} watch;

} // namespace

extern "C" int probeAnswer() {
    return 4242;
}

extern "C" void probeWatchUnload(int* flag) {
    unloadFlag = flag;
}
