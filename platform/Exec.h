#pragma once
#include <string>
#include <vector>

namespace platform {

/// Replaces the running process with `program`. A name holding "/" is run as
/// it stands; a bare name is looked for in the current directory first, then
/// in each folder of PATH. The new process gets `program` as its argument
/// zero and then `words`, each passed exactly as given (no quoting is added
/// or removed). Buffered standard output is flushed first. Answers false only
/// when the process could not be replaced.
bool replaceProcess(const std::string& program, const std::vector<std::string>& words);

} // namespace platform
