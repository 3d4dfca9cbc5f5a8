// hoplin: completes a self-update by moving the files the launcher staged in
// "tmp" into place, then starts the launcher again.
#include "hoplin/Completer.h"
#include "platform/ProgramPath.h"

int main(int argc, char** argv) {
    return hoplin::runCompleter(platform::programArguments(argc, argv));
}
