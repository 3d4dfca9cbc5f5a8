#include "platform/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, SpanishLettersBecomeTwoByteUtf8) {
    // "Configuración", "Contraseña", "¿", "¡", "ü", capitals.
    EXPECT_EQ(platform::windows1252ToUtf8("Configuraci\xF3n"), "Configuraci\xC3\xB3n");
    EXPECT_EQ(platform::windows1252ToUtf8("Contrase\xF1"
                                          "a"),
              "Contrase\xC3\xB1"
              "a");
    EXPECT_EQ(platform::windows1252ToUtf8("\xE1\xE9\xED\xF3\xFA\xFC"),
              "\xC3\xA1\xC3\xA9\xC3\xAD\xC3\xB3\xC3\xBA\xC3\xBC");
    EXPECT_EQ(platform::windows1252ToUtf8("\xC1\xC9\xCD\xD3\xDA\xD1\xDC"),
              "\xC3\x81\xC3\x89\xC3\x8D\xC3\x93\xC3\x9A\xC3\x91\xC3\x9C");
    EXPECT_EQ(platform::windows1252ToUtf8("\xBF\xA1"), "\xC2\xBF\xC2\xA1");
    EXPECT_EQ(platform::windows1252ToUtf8("No tienes\nlos requisitos"), "No tienes\nlos requisitos");
}

TEST(CodePage, TheSignsOf0x80To0x9F) {
    EXPECT_EQ(platform::windows1252ToUtf8("\x80"), "\xE2\x82\xAC"); // euro
    EXPECT_EQ(platform::windows1252ToUtf8("\x9F"), "\xC5\xB8");     // Y with diaeresis
    EXPECT_EQ(platform::windows1252ToUtf8("\x85"), "\xE2\x80\xA6"); // ellipsis
    EXPECT_EQ(platform::windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),
              "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(CodePage, Latin1KeepsLettersAndSpellsOutTheSigns) {
    EXPECT_EQ(platform::windows1252ToLatin1("Memor\xED"
                                            "a \x80 \x93s\x94 \x96 \x85"),
              "Memor\xED"
              "a EUR \"s\" - ...");
    EXPECT_EQ(platform::windows1252ToLatin1("\x81"), "?");
}

TEST(CodePage, Utf8BackToTheCodePageRoundTripsAndMarksTheRest) {
    std::string all;
    for (int b = 0x20; b <= 0xFF; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            all += static_cast<char>(b);
    EXPECT_EQ(platform::utf8ToWindows1252(platform::windows1252ToUtf8(all)), all);
    EXPECT_EQ(platform::utf8ToWindows1252("Error 6 en l\xC3\xAD"
                                          "nea 3"),
              "Error 6 en l\xED"
              "nea 3");
    EXPECT_EQ(platform::utf8ToWindows1252("\xE2\x82\xAC"), "\x80"); // the euro sign
    EXPECT_EQ(platform::utf8ToWindows1252("a\xE4\xB8\xAD"
                                          "b"),
              "a?b");                                         // not in the code page
    EXPECT_EQ(platform::utf8ToWindows1252("a\xC3"), "a?");    // cut short
    EXPECT_EQ(platform::utf8ToWindows1252("\xFF\x41"), "?A"); // not a sequence
}
