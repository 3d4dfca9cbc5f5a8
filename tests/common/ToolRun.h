#pragma once
// Runs the programs of the build as an operator would, catching their output.
#include "tests/common/Child.h"
#include "tests/common/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testkit {

struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A text file's bytes with its line ends as LF: the C library of Windows
/// writes text streams with CR LF.
inline std::string slurpText(const std::string& path) {
    std::string text = slurp(path);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

/// The moravo-tool of the build.
constexpr const char* kMoravoTool = MORAVO_BINARY_DIR "/tools/moravo-tool/moravo-tool";

/// Runs `program` with `words` in `directory` (empty: the current one),
/// standard output and error going to files in `scratch` and read back as
/// text.
inline ToolRun runProgram(const TempDir& scratch, const std::string& program,
                          const std::vector<std::string>& words, const std::string& directory = "",
                          int timeoutMs = 60000) {
    platform::ChildOptions streams;
    streams.output = scratch.path() + "/stdout";
    streams.error = scratch.path() + "/stderr";
    // The tool may survey the graphics driver, whose one leak at unload is
    // only told apart from ours with a full unwind (see tests/lsan.supp).
    const char* leaks = std::getenv("LSAN_OPTIONS");
    const std::string leakOptions =
        "LSAN_OPTIONS=" + std::string(leaks != nullptr ? leaks : "") + ":fast_unwind_on_malloc=0";
    Child child;
    if (!child.start(program, words, {leakOptions}, directory, streams))
        return {-1, "", "could not start"};
    int code = child.wait(timeoutMs);
    return {code, slurpText(streams.output), slurpText(streams.error)};
}

/// Runs the built moravo-tool with `words`, as `runProgram` does.
inline ToolRun runTool(const TempDir& scratch, const std::vector<std::string>& words,
                       const std::string& directory = "", int timeoutMs = 60000) {
    return runProgram(scratch, kMoravoTool, words, directory, timeoutMs);
}

} // namespace testkit
