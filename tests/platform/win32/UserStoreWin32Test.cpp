#include "platform/UserStore.h"

#include <gtest/gtest.h>

using platform::UserStore;

// A key of the test's own below HKEY_CURRENT_USER, so that the launcher's
// key is left alone.
const char* const kFolder = "Software\\MoravoTests";

TEST(WindowsUserStore, ValuesAreWrittenReadAndDeletedInTheRegistry) {
    UserStore store("SoftWare\\Moravo", kFolder);
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.filePath(), "HKEY_CURRENT_USER\\Software\\MoravoTests\\SoftWare\\Moravo");
    store.deleteValue("version");
    EXPECT_EQ(store.readString("version", "fallback"), "fallback");
    ASSERT_TRUE(store.writeString("version", "\x02\xFF:secret"));
    // Value names ignore case, as the registry's do.
    EXPECT_EQ(UserStore("SoftWare\\Moravo", kFolder).readString("VERSION", ""), "\x02\xFF:secret");
    ASSERT_TRUE(store.writeString("long", std::string(2000, 'x')));
    EXPECT_EQ(store.readString("long", "").size(), UserStore::kReadLimit);
    EXPECT_TRUE(store.deleteValue("version"));
    EXPECT_FALSE(store.deleteValue("version"));
    EXPECT_EQ(store.readString("version", "gone"), "gone");
}
