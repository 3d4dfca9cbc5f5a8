// What Windows reads from the programs' files before they run: a 32-bit
// image (the game's libraries are 32-bit), its address-space mark, and the
// application manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

// The manifest the system reads when it starts `program` (resource 1 of
// the manifest type), empty when there is none.
std::string manifestOf(std::string program) {
    for (char& c : program)
        if (c == '/')
            c = '\\';
    HMODULE image =
        LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr)
        return std::string();
    std::string text;
    if (HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        if (HGLOBAL loaded = LoadResource(image, found))
            text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(image, found));
    }
    FreeLibrary(image);
    return text;
}

// The machine and characteristics of the image's file header.
bool fileHeaderOf(const std::string& program, IMAGE_FILE_HEADER& header) {
    std::ifstream in(program, std::ios::binary);
    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    return in.read(reinterpret_cast<char*>(&dos), sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
           in.seekg(dos.e_lfanew) && in.read(reinterpret_cast<char*>(&signature), sizeof signature) &&
           signature == IMAGE_NT_SIGNATURE && in.read(reinterpret_cast<char*>(&header), sizeof header);
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ProgramImage, EachProgramIsForItsProcessorWithItsManifest) {
    for (const char* path : {MORAVOTOWN_EXE, HOPLIN_EXE, MORAVO_TOOL_EXE}) {
        SCOPED_TRACE(path);
        IMAGE_FILE_HEADER header{};
        ASSERT_TRUE(fileHeaderOf(path, header));
#ifdef _WIN64
        // The 64-bit build that a machine without 32-bit support tests.
        EXPECT_EQ(header.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
        EXPECT_EQ(header.Machine, IMAGE_FILE_MACHINE_I386);
        EXPECT_EQ((header.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE) != 0, LARGE_ADDRESS_AWARE != 0);
#endif

        const std::string manifest = manifestOf(path);
        ASSERT_FALSE(manifest.empty());
        EXPECT_TRUE(has(manifest, "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
        for (const char* windows :
             {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
              "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
            EXPECT_TRUE(has(manifest, windows)) << windows;
        EXPECT_TRUE(has(manifest, ">true</longPathAware>"));
        // The process's awareness is left to the game the launcher loads.
        EXPECT_FALSE(has(manifest, "dpiAware"));
    }
}
