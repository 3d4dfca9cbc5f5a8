#include "platform/UserStore.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

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

TEST(WindowsUserStore, TextsAreStoredWithTheirTerminatingNul) {
    UserStore store("SoftWare\\Moravo", kFolder);
    ASSERT_TRUE(store.writeString("stack", "abc"));
    // Read as a reader that does not clear its buffer would: the stored
    // bytes alone must end the text.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\MoravoTests\\SoftWare\\Moravo", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD size = sizeof buffer;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "stack", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(buffer, "abc");
    RegCloseKey(key);
    // Reading stays tolerant of a value another program stored without it.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\MoravoTests\\SoftWare\\Moravo", 0, KEY_WRITE, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "stack", 0, REG_SZ, reinterpret_cast<const BYTE*>("xyz"), 3), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(store.readString("stack", ""), "xyz");
    store.deleteValue("stack");
}
