// moravo-tool keygen PRIVATE_FILE [--force]: makes the key that signs
// publications. The private key goes to the file (readable by its owner
// only); the public key, the text of the "key" attribute that launchers are
// configured with, is printed as one line.
#include "publish/PublicationSigning.h"
#include "tools/moravo-tool/Command.h"

#include <cstdio>
#include <cstring>

namespace tool {

int runKeygen(int argc, char** argv) {
    const char* file = nullptr;
    bool force = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--force") == 0)
            force = true;
        else if (file == nullptr)
            file = argv[i];
        else
            file = "";
    }
    if (file == nullptr || file[0] == '\0') {
        std::fprintf(stderr, "usage: moravo-tool keygen PRIVATE_FILE [--force]\n");
        return 2;
    }
    std::string publicKey, error;
    if (!createSigningKey(file, force, publicKey, error)) {
        std::fprintf(stderr, "moravo-tool keygen: %s%s\n", error.c_str(),
                     force ? "" : " (an existing key is replaced only with --force)");
        return 1;
    }
    std::printf("%s\n", publicKey.c_str());
    std::fprintf(stderr,
                 "moravo-tool keygen: the private key is in %s: keep it secret, off the update server, and "
                 "backed up.\nLaunchers take the public key above as <update url=\"...\" key=\"%s\"/> in "
                 "ZEP_client.xml.\n",
                 file, publicKey.c_str());
    return 0;
}

} // namespace tool
