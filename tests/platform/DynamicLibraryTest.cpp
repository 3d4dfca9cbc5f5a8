#include "platform/DynamicLibrary.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/platform/Scoped.h"

#include <gtest/gtest.h>

#include <filesystem>

using platform::DynamicLibrary;

namespace {

const std::string kModulePath = PROBE_MODULE;
const std::string kModuleFolder = std::filesystem::path(kModulePath).parent_path().string();

} // namespace

TEST(DynamicLibrary, ABareNameIsLoadedFromTheCurrentDirectory) {
    {
        testkit::ScopedDirectory here(kModuleFolder);
        DynamicLibrary module("Probe.dll");
        ASSERT_TRUE(module.loaded()) << module.error();
        auto answer = module.function<int (*)()>("probeAnswer");
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 4242);
    }
    // Elsewhere the same bare name is not found: it is neither beside the
    // program nor on the system's search path.
    testkit::TempDir temp;
    testkit::ScopedDirectory elsewhere(temp.path());
    DynamicLibrary missing("Probe.dll");
    EXPECT_FALSE(missing.loaded());
    EXPECT_NE(missing.error().find("Probe.dll"), std::string::npos) << missing.error();
    EXPECT_EQ(missing.symbol("probeAnswer"), nullptr);
}

TEST(DynamicLibrary, ABareNameIsFoundBesideTheProgramFirstThenOnTheSystemPath) {
    testkit::TempDir temp;
    testkit::ScopedDirectory elsewhere(temp.path());
    // A file of the same name here is not what loads: the program's folder
    // comes first.
    testkit::writeFile(temp / "Beside.dll", "not a shared object");
    DynamicLibrary beside("Beside.dll");
    ASSERT_TRUE(beside.loaded()) << beside.error();
    EXPECT_EQ(beside.function<int (*)()>("probeAnswer")(), 4242);

    DynamicLibrary system("libm.so.6");
    ASSERT_TRUE(system.loaded()) << system.error();
    auto cosine = system.function<double (*)(double)>("cos");
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
}

TEST(DynamicLibrary, APathIsLoadedAsItStandsAndMissingExportsAreNull) {
    DynamicLibrary module;
    ASSERT_TRUE(module.load(kModulePath)) << module.error();
    EXPECT_EQ(module.error(), "");
    EXPECT_EQ(module.symbol("Launch"), nullptr);
    EXPECT_NE(module.error().find("Launch"), std::string::npos) << module.error();
    EXPECT_NE(module.symbol("probeAnswer"), nullptr);
}

TEST(DynamicLibrary, TheHolderUnloadsOnceWhateverItIsMovedTo) {
    int unloaded = 0;
    {
        DynamicLibrary first(kModulePath);
        ASSERT_TRUE(first.loaded()) << first.error();
        first.function<void (*)(int*)>("probeWatchUnload")(&unloaded);
        DynamicLibrary second(std::move(first));
        EXPECT_FALSE(first.loaded());
        DynamicLibrary third;
        third = std::move(second);
        EXPECT_TRUE(third.loaded());
        EXPECT_EQ(unloaded, 0);
    }
    EXPECT_EQ(unloaded, 1);

    DynamicLibrary again(kModulePath);
    unloaded = 0;
    again.function<void (*)(int*)>("probeWatchUnload")(&unloaded);
    again.unload();
    EXPECT_EQ(unloaded, 1);
    EXPECT_FALSE(again.loaded());
}
