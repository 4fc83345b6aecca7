#include "settings/CodeText.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

TEST(CodeText, ShowsPrintableCodesAsCharactersAndTheRestInBraces) {
    EXPECT_EQ(CodeText::format(Bytes{' ', 'A', '~', 31, 127, 0, 13, 255, '{'}),
              " A~{31}{127}{0}{13}{255}{");
    EXPECT_EQ(CodeText::format(Bytes{}), "");
    EXPECT_EQ(CodeText::hex(Bytes{0x3B, 0x0D, 0x00, 0xFF}), "3B 0D 00 FF");
    EXPECT_EQ(CodeText::hex(Bytes{}), "");
}

TEST(CodeText, ReadsBackWhatItShows) {
    Bytes every;
    for (int code = 0; code < 256; ++code) {
        every.push_back(static_cast<std::uint8_t>(code));
    }
    EXPECT_EQ(CodeText::parse(CodeText::format(every)), every);
    EXPECT_EQ(CodeText::parse("{007}{13}x"), (Bytes{7, 13, 'x'}));
    EXPECT_EQ(CodeText::parse(""), Bytes{});
}

TEST(CodeText, BracesThatOpenNoCodeStandForThemselves) {
    EXPECT_EQ(CodeText::parse("{"), (Bytes{'{'}));
    EXPECT_EQ(CodeText::parse("{}a}"), (Bytes{'{', '}', 'a', '}'}));
    EXPECT_EQ(CodeText::parse("{13"), (Bytes{'{', '1', '3'}));
    EXPECT_EQ(CodeText::parse("{-1}{ 1}"), (Bytes{'{', '-', '1', '}', '{', ' ', '1', '}'}));
    EXPECT_EQ(CodeText::parse("{{9}}"), (Bytes{'{', 9, '}'}));
}

TEST(CodeText, RefusesCodesOutOfRangeAndUnprintableCharacters) {
    const std::vector<std::string> bad = {"{256}",
                                          "{1234}",
                                          "{0000}",
                                          "x{999}y",
                                          "tab\there",
                                          std::string(1, '\x7f'),
                                          std::string("\xc3\xa9"),
                                          std::string(1, '\0')};
    for (const std::string& text : bad) {
        EXPECT_FALSE(CodeText::parse(text)) << text;
    }
}
