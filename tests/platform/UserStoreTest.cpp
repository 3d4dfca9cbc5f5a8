#include "platform/UserStore.h"

#include "tests/common/Files.h"
#include "tests/common/TempDir.h"
#include "tests/platform/Scoped.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::UserStore;

namespace {

const char* const kKey = "SoftWare\\Moravo";

std::string everyByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = dir ? readdir(dir) : nullptr)
        if (entry->d_name[0] != '.' || (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0))
            names.push_back(entry->d_name);
    if (dir)
        closedir(dir);
    return names;
}

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(UserStore, LivesInThePerUserConfigurationFolderWithPrivateModes) {
    testkit::TempDir temp;
    testkit::ScopedEnv config("XDG_CONFIG_HOME", (temp / "config").c_str());
    EXPECT_EQ(platform::userStoreFolder(), temp / "config/moravo");

    UserStore store(kKey);
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.filePath(), temp / "config/moravo/software%5Cmoravo.values");
    EXPECT_EQ(modeOf(temp / "config/moravo"), 0700u);
    EXPECT_EQ(modeOf(store.filePath()), 0600u);
    ASSERT_TRUE(store.writeString("version", "abc"));
    EXPECT_EQ(modeOf(store.filePath()), 0600u);

    // A relative XDG_CONFIG_HOME is not to be used; the home folder's is.
    testkit::ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
    testkit::ScopedEnv home("HOME", temp.path().c_str());
    EXPECT_EQ(platform::userStoreFolder(), temp / ".config/moravo");
}

TEST(UserStore, KeepsEveryByteValueExactly) {
    testkit::TempDir temp;
    UserStore store(kKey, temp.path());
    std::string bytes = everyByte();
    ASSERT_TRUE(store.writeString("version", bytes));
    ASSERT_TRUE(store.writeString(bytes, "name of every byte"));
    ASSERT_TRUE(store.writeString("stack", "user:pass:with:colons\n\r"));
    ASSERT_TRUE(store.writeString("empty", ""));

    UserStore again(kKey, temp.path()); // another handle reads the file anew
    EXPECT_EQ(again.readString("version", "-"), bytes);
    EXPECT_EQ(again.readString(bytes, "-"), "name of every byte");
    EXPECT_EQ(again.readString("stack", "-"), "user:pass:with:colons\n\r");
    EXPECT_EQ(again.readString("empty", "-"), "");
    EXPECT_EQ(again.readString("missing", "fallback"), "fallback");
}

TEST(UserStore, ReadsStopAt1023Bytes) {
    testkit::TempDir temp;
    UserStore store(kKey, temp.path());
    std::string longValue(2000, 'x');
    longValue[1022] = 'y';
    ASSERT_TRUE(store.writeString("long", longValue));
    std::string read = store.readString("long", "");
    EXPECT_EQ(read.size(), 1023u);
    EXPECT_EQ(read.back(), 'y');
    EXPECT_EQ(store.readString("long", "").size(), UserStore::kReadLimit);
}

TEST(UserStore, ReplacesAndDeletesValuesWhateverTheCaseOfTheirNames) {
    testkit::TempDir temp;
    UserStore store(kKey, temp.path());
    ASSERT_TRUE(store.writeString("Version", "one"));
    ASSERT_TRUE(store.writeString("tempstr", "two"));
    ASSERT_TRUE(store.writeString("VERSION", "three"));
    EXPECT_EQ(store.readString("version", ""), "three");
    EXPECT_TRUE(store.deleteValue("version"));
    EXPECT_FALSE(store.deleteValue("version")) << "nothing left to delete";
    EXPECT_EQ(store.readString("Version", "gone"), "gone");
    EXPECT_EQ(store.readString("tempstr", ""), "two");
    // The key path is case-blind too.
    EXPECT_EQ(UserStore("software\\MORAVO", temp.path()).readString("tempstr", ""), "two");
}

TEST(UserStore, KeyPathsCannotLeaveTheFolder) {
    testkit::TempDir temp;
    UserStore store("../..\\x/y", temp / "store");
    ASSERT_TRUE(store.writeString("a", "b"));
    EXPECT_EQ(store.filePath(), temp / "store/%2E%2E%2F%2E%2E%5Cx%2Fy.values");
    EXPECT_EQ(store.readString("a", ""), "b");
}

TEST(UserStore, FailuresAnswerTheDefaultAndStoreNothing) {
    testkit::TempDir temp;
    testkit::writeFile(temp / "blocker", "a file where the folder should be");
    UserStore store(kKey, temp / "blocker/moravo");
    EXPECT_FALSE(store.open());
    EXPECT_FALSE(store.writeString("version", "x"));
    EXPECT_FALSE(store.deleteValue("version"));
    EXPECT_EQ(store.readString("version", "default"), "default");
}

TEST(UserStore, ADamagedFileKeepsTheRecordsBeforeTheDamage) {
    testkit::TempDir temp;
    UserStore store(kKey, temp.path());
    ASSERT_TRUE(store.writeString("first", "1"));
    ASSERT_TRUE(store.writeString("second", "2"));
    std::string data = testkit::readFile(store.filePath());
    testkit::writeFile(store.filePath(), data + "99999 1\nshort");
    EXPECT_EQ(store.readString("second", ""), "2");
    testkit::writeFile(store.filePath(), "not a store at all");
    EXPECT_EQ(store.readString("first", "none"), "none");
    ASSERT_TRUE(store.writeString("third", "3"));
    EXPECT_EQ(store.readString("third", ""), "3");
}

TEST(UserStore, ACrashBeforeTheRenameLeavesTheOldValues) {
    testkit::TempDir temp;
    UserStore store(kKey, temp.path());
    ASSERT_TRUE(store.writeString("version", "old"));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserStore::setBeforeReplaceHook([] { _exit(0); });
        UserStore(kKey, temp.path()).writeString("version", "new");
        _exit(1); // the hook never returned: not reached
    }
    ASSERT_EQ(waitFor(child), 0);

    EXPECT_EQ(store.readString("version", ""), "old");
    size_t leftovers = 0;
    for (const std::string& name : namesIn(temp.path()))
        leftovers += name[0] == '.';
    EXPECT_EQ(leftovers, 1u) << "the dead writer's temporary file";

    ASSERT_TRUE(store.writeString("version", "newer"));
    EXPECT_EQ(store.readString("version", ""), "newer");
    for (const std::string& name : namesIn(temp.path()))
        EXPECT_NE(name[0], '.') << "leftover " << name << " was not cleaned";
}

TEST(UserStore, TwoProcessesWritingAtOnceLoseNoValue) {
    testkit::TempDir temp;
    const int perWriter = 40;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            UserStore store(kKey, temp.path());
            int failures = 0;
            for (int i = 0; i < perWriter; ++i)
                failures += !store.writeString(std::string(1, static_cast<char>('a' + w)) + std::to_string(i),
                                               std::string(static_cast<size_t>(i + 1), static_cast<char>(w)));
            _exit(failures);
        }
    }
    EXPECT_EQ(waitFor(writers[0]), 0);
    EXPECT_EQ(waitFor(writers[1]), 0);

    UserStore store(kKey, temp.path());
    for (int w = 0; w < 2; ++w)
        for (int i = 0; i < perWriter; ++i)
            EXPECT_EQ(
                store.readString(std::string(1, static_cast<char>('a' + w)) + std::to_string(i), "lost"),
                std::string(static_cast<size_t>(i + 1), static_cast<char>(w)));
}
