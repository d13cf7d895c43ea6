// The quoting of the headless driver's output and the probe's records, which scripts and the
// input tests read back.
#include "text/quote.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Quote, QuotesAndBackslashesAreEscapedAndEverythingElseKept) {
    EXPECT_EQ(platform::Quoted(""), "\"\"");
    EXPECT_EQ(platform::Quoted("C:\\AC97Mix\\\"a b\""), "\"C:\\\\AC97Mix\\\\\\\"a b\\\"\"");
    EXPECT_EQ(platform::Quoted(std::string("a\tb\n\r\0\xE9", 7)),
              std::string("\"a\tb\n\r\0\xE9\"", 9));
}

TEST(Quote, OnOneLineLineBreaksAreWrittenAsEscapes) {
    EXPECT_EQ(platform::QuotedOnOneLine("one\ntwo\r\n\\n"), "\"one\\ntwo\\r\\n\\\\n\"");
    EXPECT_EQ(platform::QuotedOnOneLine("say \"hi\"\t"), "\"say \\\"hi\\\"\t\"");
}

}  // namespace
