#include "tools/moravo-tool/InstallationCommon.h"

#include "install/Manifest.h"
#include "platform/FileSystem.h"
#include "update/UpdateTexts.h"

#include <cstdio>
#include <fstream>

namespace tool {

InstallScanner installationScanner(const std::string& dir) {
    InstallScanner scanner(dir, "checklist.txt");
    for (const std::string& pattern : builtInExcludes())
        scanner.addExclude(pattern);
    std::ifstream excludes(platform::filePath(dir + "/excludes.txt"), std::ios::binary);
    if (excludes) {
        for (const std::string& pattern : readExcludeLines(excludes))
            scanner.addExclude(pattern);
    }
    return scanner;
}

void printError(int32_t code, const std::string& fileText) {
    std::optional<std::string> text = errorText(code, fileText);
    std::fprintf(stderr, "error %d: %s\n", code, text ? text->c_str() : "");
}

} // namespace tool
