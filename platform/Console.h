#pragma once
#include <cstdio>

namespace platform {

/// True when the stream writes to a terminal (where a line may be redrawn
/// in place), false for files and pipes.
bool isTerminal(std::FILE* stream);

/// Width of the terminal behind the stream in columns, or 0 when unknown.
int terminalColumns(std::FILE* stream);

} // namespace platform
