#pragma once
// Runs the programs of the build as an operator would, catching their output.
#include "tests/common/Child.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace testkit {

struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

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
    return {code, readText(streams.output), readText(streams.error)};
}

/// Runs the built moravo-tool with `words`, as `runProgram` does.
inline ToolRun runTool(const TempDir& scratch, const std::vector<std::string>& words,
                       const std::string& directory = "", int timeoutMs = 60000) {
    return runProgram(scratch, kMoravoTool, words, directory, timeoutMs);
}

} // namespace testkit
