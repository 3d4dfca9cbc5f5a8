// hoplin: completes a self-update by moving the files the launcher staged in
// "tmp" into place, then starts the launcher again.
#include "hoplin/Completer.h"

int main(int argc, char** argv) {
    return hoplin::runCompleter(argc, argv);
}
