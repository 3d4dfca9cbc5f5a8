#pragma once
// Runs the built moravo-tool as an operator would, capturing its output.
#include "tests/common/TempDir.h"
#include "tests/common/Xvfb.h"

#include <fstream>
#include <sstream>
#include <string>

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

/// Runs "moravo-tool ARGUMENTS" (a shell word list) with `directory` as the
/// current directory; its output goes through files in `scratch`.
inline ToolRun runTool(const TempDir& scratch, const std::string& arguments,
                       const std::string& directory = "", int timeoutMs = 60000) {
    std::string out = scratch.path() + "/stdout", err = scratch.path() + "/stderr";
    // The tool may survey the graphics driver, whose one leak at unload is
    // only told apart from ours with a full unwind (see tests/lsan.supp).
    std::string line = "LSAN_OPTIONS=\"$LSAN_OPTIONS:fast_unwind_on_malloc=0\" exec '" MORAVO_BINARY_DIR
                       "/tools/moravo-tool/moravo-tool' " +
                       arguments + " >" + out + " 2>" + err;
    Child child;
    if (!child.start("/bin/sh", {"-c", line}, {}, directory))
        return {-1, "", "could not start"};
    int code = child.wait(timeoutMs);
    return {code, slurp(out), slurp(err)};
}

} // namespace testkit
