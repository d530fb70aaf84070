#include <gtest/gtest.h>

#include "common/gbktext.h"
#include "platform/codec.h"

using namespace gbk;

TEST(GbkFind, StepsOverSecondByteOfTwoByteCharacters) {
    // 0x81 0x5B and 0x81 0x5D are GBK characters whose second bytes are the
    // codes of "[" and "]": neither may be taken for a bracket.
    const std::string page = "\x81\x5B" "ab\x81\x5D" "[1.2.3.4]" "\x81\x5D";
    EXPECT_EQ(find(page, "["), 7);
    EXPECT_EQ(find(page, "]"), 15);
    EXPECT_EQ(mid(page, 8, 15 - 7 - 1), "1.2.3.4");
    // A marker that only exists straddling a character boundary is not found.
    EXPECT_EQ(find("\x81\x5B" "x", "\x5B" "x"), -1);
    // Starting positions keep the character phase.
    EXPECT_EQ(find("[a\x81[[", "[", 2), 5);
    EXPECT_EQ(find("abc", "c", 4), -1);
}

TEST(GbkFind, CaseAndAbsence) {
    EXPECT_EQ(find("Set-Cookie: a=b", "set-cookie: "), -1);
    EXPECT_EQ(find("x\r\nSet-Cookie: a=b", "set-cookie: ", 1, true), 4);
    EXPECT_EQ(find("abc", ""), -1);
    EXPECT_EQ(find("", "a"), -1);
    // Case folding touches ASCII letters only, never a two-byte character.
    EXPECT_EQ(find("\xC1\x41", "\xC1\x61", 1, true), -1);
}

TEST(GbkSlices, LeftRightMidBounds) {
    EXPECT_EQ(left("abcdef", 2), "ab");
    EXPECT_EQ(left("abc", 10), "abc");
    EXPECT_EQ(left("abc", 0), "");
    EXPECT_EQ(right("abcdef", 2), "ef");
    EXPECT_EQ(right("abc", -1), "");
    EXPECT_EQ(right("abc", 9), "abc");
    EXPECT_EQ(mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(mid("abcdef", 0, 2), "");     // start below 1
    EXPECT_EQ(mid("abcdef", 7, 1), "");     // beyond the end
    EXPECT_EQ(mid("abcdef", 2, 0), "");
    EXPECT_EQ(mid("abcdef", 2, -3), "");
}

TEST(GbkSplit, PiecesBetweenSeparators) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split("8.8.8.8,8.8.4.4", ","), (V{"8.8.8.8", "8.8.4.4"}));
    EXPECT_EQ(split("8.8.8.8,", ","), (V{"8.8.8.8"}));
    EXPECT_EQ(split("", ","), V{});
    EXPECT_EQ(split(",", ","), (V{""}));
    EXPECT_EQ(split("a,,b", ","), (V{"a", "", "b"}));
    EXPECT_EQ(split("a\r\nb", "\r\n"), (V{"a", "b"}));
}

TEST(GbkBytes, TextEndsAtFirstZero) {
    EXPECT_EQ(bytesToText(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(bytesToText(std::string(255, '\0')), "");
}

TEST(Codec, GbkUtf8RoundTrip) {
    EXPECT_EQ(codec::utf8ToGbk("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(codec::gbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
    const std::string mixed = "参考数据二：四川省成都市 电信 [1.2.3.4]";
    EXPECT_EQ(codec::gbkToUtf8(codec::utf8ToGbk(mixed)), mixed);
    EXPECT_EQ(codec::utf8ToGbk("参考数据二：").size(), 12u);
    EXPECT_EQ(codec::gbkToUtf8(""), "");
    // Damaged input does not stop the conversion.
    EXPECT_EQ(codec::gbkToUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
}

TEST(Codec, DamagedUtf8LosesNoCharacterAfterIt) {
    // A broken sequence is one "?" and ends where it breaks: the ASCII
    // character after a stray lead byte used to be swallowed with it.
    EXPECT_EQ(codec::utf8ToGbk("a\xFF b"), "a? b");
    EXPECT_EQ(codec::utf8ToGbk("\xE4\xB8" "d\xE4"), "?d?");
    EXPECT_EQ(codec::utf8ToGbk("\xF0\x9F" "1.2"), "?1.2");
    // A well-formed character GBK lacks is one "?", whatever its length.
    EXPECT_EQ(codec::utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y");
    // Surrogates are not characters: each byte is broken on its own.
    EXPECT_EQ(codec::utf8ToGbk("\xED\xA0\x80" "z"), "???z");
}
