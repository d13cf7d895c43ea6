// Names as Windows' registry compares, orders and hashes them.
#include "text/windows_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

using platform::names::Compare;
using platform::names::Equal;
using platform::names::LfHint;
using platform::names::LhHash;
using platform::names::Upcase;

TEST(WindowsNames, TheTableIsTheDataFileAndEveryOtherUnitStaysItself) {
    std::ifstream in(std::string(CALVENOR_SOURCE_DIR) + "/data/windows-upcase.txt");
    ASSERT_TRUE(in) << "data/windows-upcase.txt not found";
    std::map<char16_t, char16_t> listed;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        unsigned unit = 0;
        unsigned upper = 0;
        std::istringstream(line) >> std::hex >> unit >> upper;
        listed[static_cast<char16_t>(unit)] = static_cast<char16_t>(upper);
    }
    ASSERT_EQ(listed.size(), 973u);
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
        const auto it = listed.find(static_cast<char16_t>(unit));
        const char16_t expected = it == listed.end() ? static_cast<char16_t>(unit) : it->second;
        ASSERT_EQ(Upcase(static_cast<char16_t>(unit)), expected) << std::hex << unit;
    }
}

TEST(WindowsNames, UpperCaseIsWindowsNotUnicode) {
    EXPECT_EQ(Upcase(u'a'), u'A');
    EXPECT_EQ(Upcase(u'ä'), u'Ä');
    EXPECT_EQ(Upcase(u'ÿ'), u'Ÿ');
    EXPECT_EQ(Upcase(u'č'), u'Č');
    EXPECT_EQ(Upcase(u'ж'), u'Ж');
    // Unicode upper-cases these; Windows leaves them.
    EXPECT_EQ(Upcase(u'µ'), u'µ');
    EXPECT_EQ(Upcase(u'ı'), u'ı');
    EXPECT_EQ(Upcase(u'ſ'), u'ſ');
    EXPECT_EQ(Upcase(u'ς'), u'ς');
    EXPECT_EQ(Upcase(u'ß'), u'ß');
}

TEST(WindowsNames, OrderIsByUpperCaseUnitsWithAPrefixFirst) {
    // The order libhivex got wrong: '_' (0x5F) sorts after the upper-case letters only.
    EXPECT_LT(Compare(u"wdmaud", u"wdm_au8830"), 0);
    EXPECT_LT(Compare(u"Mix", u"Öl"), 0);
    EXPECT_LT(Compare(u"Öl", u"čapek"), 0);
    EXPECT_LT(Compare(u"Key", u"key1"), 0);
    EXPECT_GT(Compare(u"b", u"A"), 0);
    EXPECT_TRUE(Equal(u"äPFEL", u"Äpfel"));
    EXPECT_TRUE(Equal(u"GRÜSSE", u"GRÜSSE"));
    EXPECT_FALSE(Equal(u"GRÜSSE", u"Grüße"));  // ß has no upper case here
    EXPECT_FALSE(Equal(u"µ", u"Μ"));
    EXPECT_TRUE(Equal(u"", u""));
}

TEST(WindowsNames, HashesAndHintsAreWhatWindowsWrites) {
    EXPECT_EQ(LhHash(u"Äpfel"), 0x16246e2fu);
    EXPECT_EQ(LhHash(u"Grüße"), 0x0832849du);
    EXPECT_EQ(LhHash(u"čapek"), 0x1e240f7du);
    EXPECT_EQ(LhHash(u"äPFEL"), LhHash(u"Äpfel"));
    EXPECT_EQ(LhHash(u""), 0u);
    // Hints keep the units as they are, one byte each, 0 above 0xFF and past the end.
    EXPECT_EQ(LfHint(u"Äpfel"), 0x656670C4u);
    EXPECT_EQ(LfHint(u"čapek"), 0x65706100u);
    EXPECT_EQ(LfHint(u"Ab"), 0x00006241u);
}

}  // namespace
