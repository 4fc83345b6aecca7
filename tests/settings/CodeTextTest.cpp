#include "settings/CodeText.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();

// The codes read as hex, or "! " and the reason the text is refused.
std::string read(const std::string& text, CodeText::Mode mode, std::size_t most) {
    Bytes codes{0xEE};
    std::string reason;
    if (CodeText::parse(text, mode, codes, reason, most)) {
        return CodeText::hex(codes);
    }
    return codes.empty() ? "! " + reason : "! codes left behind";
}

} // namespace

TEST(CodeText, ShowsPrintableCodesAsCharactersAndTheRestInBraces) {
    EXPECT_EQ(CodeText::format(Bytes{' ', 'A', '~', 31, 127, 0, 13, 255, '{'}),
              " A~{31}{127}{0}{13}{255}{");
    EXPECT_EQ(CodeText::format(Bytes{}), "");
    EXPECT_EQ(CodeText::hex(Bytes{0x3B, 0x0D, 0x00, 0xFF}), "3B 0D 00 FF");
    EXPECT_EQ(CodeText::hex(Bytes{}), "");
}

// Strict is what a code list takes from `r550ctl set` and settings files; lenient is the
// simulator's card data, which also takes {0} and a brace that opens no code.
TEST(CodeText, ReadsTextStrictlyAsACodeListAndLenientlyAsCardData) {
    const std::string outside = "! a character outside 32..126 is written as {n}";
    const std::string noCode = "! \"{\" must start a code {1} to {255}";
    struct Case {
        std::string text;
        std::size_t most;
        std::string strict;
        std::string lenient;
    };
    const Case cases[] = {
        {"", kAny, "", ""},
        {"T1{13}", kAny, "54 31 0D", "54 31 0D"},
        {"{007}{13}x}", kAny, "07 0D 78 7D", "07 0D 78 7D"},
        {"{123}{255}", kAny, "7B FF", "7B FF"},
        {"{0}{", kAny, "! {0} is outside 1..255", "00 7B"},
        {"{", kAny, noCode, "7B"},
        {"{}a}", kAny, noCode, "7B 7D 61 7D"},
        {"{13", kAny, noCode, "7B 31 33"},
        {"{-1}{ 1}", kAny, noCode, "7B 2D 31 7D 7B 20 31 7D"},
        {"{{9}}", kAny, noCode, "7B 09 7D"},
        {"{0001}", kAny, "01", "! {0001} is outside 0..255"},
        {"x{256}", kAny, "! {256} is outside 1..255", "! {256} is outside 0..255"},
        {"{99999999999}", kAny, "! {99999999999} is outside 1..255",
         "! {99999999999} is outside 0..255"},
        {"tab\there", kAny, outside, outside},
        {"\x7f", kAny, outside, outside},
        {"\xc3\xa9", kAny, outside, outside},
        {std::string(1, '\0'), kAny, outside, outside},
        {"1234567", 7, "31 32 33 34 35 36 37", "31 32 33 34 35 36 37"},
        {"12345678", 7, "! more than 7 codes", "! more than 7 codes"},
        {"1234567{0}", 7, "! {0} is outside 1..255", "! more than 7 codes"},
        {"1234567\t", 7, outside, outside},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read(c.text, CodeText::Mode::Strict, c.most), c.strict) << c.text;
        EXPECT_EQ(read(c.text, CodeText::Mode::Lenient, c.most), c.lenient) << c.text;
        if (c.most == kAny) {
            EXPECT_EQ(CodeText::parse(c.text, CodeText::Mode::Lenient).has_value(),
                      c.lenient.empty() || c.lenient[0] != '!')
                << c.text;
        }
    }
    // Card data reads back from what the pages show, every code included.
    Bytes every;
    for (int code = 0; code < 256; ++code) {
        every.push_back(static_cast<std::uint8_t>(code));
    }
    EXPECT_EQ(CodeText::parse(CodeText::format(every), CodeText::Mode::Lenient), every);
}
