#include "app/ConnectionFile.h"

#include "net/XMLParser.h"
#include "platform/Directory.h"
#include "platform/FileSystem.h"

#include <cstdlib>
#include <fstream>

namespace app {

bool ConnectionConfig::read(const std::string& path) {
    std::ifstream in(platform::filePath(path), std::ios::binary);
    if (!in)
        return false;
    MiniXML::XMLParser parser;
    if (!parser.parse(in) || parser.document() == nullptr || !parser.document()->root)
        return false;
    MiniXML::XMLElementNode::Iterator elements(*parser.document()->root);
    while (MiniXML::XMLElementNode* element = elements.next()) {
        if (element->name == "server") {
            if (const char* v = element->attribute("address"))
                address = v;
            if (const char* v = element->attribute("port"))
                port = std::atoi(v);
            if (const char* v = element->attribute("ssl"))
                tls = std::atoi(v) != 0;
            if (const char* v = element->attribute("ca"))
                caFile = v;
        } else if (element->name == "update") {
            if (const char* v = element->attribute("url"))
                updateUrl = v;
            if (const char* v = element->attribute("key"))
                updateKey = std::string(v);
        }
    }
    return true;
}

std::string ConnectionConfig::caPathIn(const std::string& folder) const {
    if (caFile.empty() || platform::isAbsolutePath(caFile))
        return caFile;
    return (folder.empty() ? std::string(".") : folder) + platform::kPathSeparator + caFile;
}

} // namespace app
