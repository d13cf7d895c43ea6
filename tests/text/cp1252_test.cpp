#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace platform;

TEST(Cp1252Text, Utf8BothWaysKeepsEveryByte) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    bool exact = false;
    EXPECT_EQ(cp1252::FromUtf8(cp1252::ToUtf8(all), &exact), all);
    EXPECT_TRUE(exact);
    EXPECT_EQ(cp1252::ToUtf8("Caf\xe9 \x80"), "Caf\xc3\xa9 \xe2\x82\xac");
}

TEST(Cp1252Text, WhatHasNoFormBecomesAQuestionMark) {
    bool exact = true;
    // U+0100, a malformed lead byte, a surrogate encoded in UTF-8, a character beyond the BMP.
    EXPECT_EQ(cp1252::FromUtf8("a\xc4\x80"
                               "b\xff"
                               "c\xed\xa0\x80"
                               "d\xf0\x9f\x98\x80",
                               &exact),
              "a?b?c???d?");
    EXPECT_FALSE(exact);
}

TEST(Cp1252Text, Utf16KeepsTheLengthAsTheAnsiFunctionsDo) {
    EXPECT_EQ(cp1252::ToUtf16("A\x80\xff"), (std::u16string{u'A', u'\u20ac', u'\u00ff'}));
    bool exact = true;
    // One byte for each unit, a surrogate pair too.
    EXPECT_EQ(cp1252::FromUtf16(std::u16string{u'x', 0x0100, 0xD83D, 0xDE00, 0x20AC}, &exact),
              "x???\x80");
    EXPECT_FALSE(exact);
}

}  // namespace
