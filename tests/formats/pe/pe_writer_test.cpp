// The PE writer's images, read back by the version reader and taken apart by a strict walk of
// their own here, so that a wrong length or offset fails even where the reader would forgive.
#include "formats/pe/pe_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/pe/pe_version.h"

namespace {

using platform::PeKind;
using platform::VersionedImage;
using Bytes = std::vector<std::uint8_t>;
using Version = std::array<std::uint16_t, 4>;

std::uint32_t U16(const Bytes& b, std::size_t at) {
    return b.at(at) | b.at(at + 1) << 8;
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

VersionedImage Image(PeKind kind, Version version) {
    VersionedImage image;
    image.kind = kind;
    image.fileVersion = version;
    image.productVersion = version;
    return image;
}

VersionedImage WithStrings() {
    VersionedImage image = Image(PeKind::Driver, {5, 12, 1, 2560});
    image.productVersion = {5, 12, 0, 7};
    image.fileSubtype = 9;
    image.strings = {{u"CompanyName", u"Example maker"},
                     {u"FileDescription", u"Odd-length text"},
                     {u"Comments", u""},
                     {u"ProductName", u"An example"}};
    return image;
}

std::string Dotted(std::uint32_t ms, std::uint32_t ls) {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
           std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

std::string ReadBack(const Bytes& bytes) {
    const auto v = platform::ReadPeFileVersion(bytes.data(), bytes.size());
    return v ? Dotted(v->fileVersionMS, v->fileVersionLS) : "none";
}

// Where the headers say things are.
struct Layout {
    std::size_t optional = 0;
    std::size_t sections = 0;
    std::size_t sectionCount = 0;
    std::size_t SectionField(std::size_t index, std::size_t field) const {
        return sections + index * 40 + field;
    }
};

Layout LayoutOf(const Bytes& b) {
    Layout l;
    const std::size_t pe = U32(b, 0x3C);
    l.optional = pe + 24;
    l.sectionCount = U16(b, pe + 6);
    l.sections = l.optional + U16(b, pe + 20);
    return l;
}

// The file offset of an RVA, through the section table.
std::optional<std::size_t> FileOffset(const Bytes& b, std::uint32_t rva) {
    const Layout l = LayoutOf(b);
    for (std::size_t i = 0; i < l.sectionCount; ++i) {
        const std::uint32_t va = U32(b, l.SectionField(i, 12));
        const std::uint32_t size = U32(b, l.SectionField(i, 8));
        if (rva >= va && rva - va < size) return U32(b, l.SectionField(i, 20)) + (rva - va);
    }
    return std::nullopt;
}

// The standard image checksum, written out again here.
std::uint32_t CheckSum(Bytes b, std::size_t field) {
    for (std::size_t i = 0; i < 4; ++i) b[field + i] = 0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        sum += U16(b, i);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (b.size() % 2 != 0) sum += b.back();
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + b.size());
}

// A block of a version resource, walked strictly: the value and each child on a 32-bit
// boundary, the children filling the block to exactly its wLength.
struct Node {
    std::u16string key;
    std::uint32_t type = 0;
    std::uint32_t valueLength = 0;
    Bytes value;
    std::vector<Node> children;

    const Node* Child(const std::u16string& name) const {
        for (const Node& c : children) {
            if (c.key == name) return &c;
        }
        return nullptr;
    }
    std::u16string Text() const {
        std::u16string text;
        for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
            text += static_cast<char16_t>(value[i] | value[i + 1] << 8);
        }
        return text;
    }
};

std::size_t Align4(std::size_t at, std::size_t base) {
    return base + ((at - base + 3) & ~std::size_t{3});
}

::testing::AssertionResult Walk(const Bytes& b, std::size_t base, std::size_t at, std::size_t limit,
                                Node& node) {
    const std::size_t length = U16(b, at);
    if (length < 6 || at + length > limit) {
        return ::testing::AssertionFailure() << "block at " << at << " of length " << length;
    }
    const std::size_t end = at + length;
    node.valueLength = U16(b, at + 2);
    node.type = U16(b, at + 4);
    if (node.type > 1) return ::testing::AssertionFailure() << "type " << node.type;
    std::size_t pos = at + 6;
    for (;; pos += 2) {
        if (pos + 2 > end) return ::testing::AssertionFailure() << "key runs past the block";
        const auto c = static_cast<char16_t>(U16(b, pos));
        if (c == 0) break;
        node.key += c;
    }
    pos += 2;
    if (node.valueLength != 0) {
        pos = Align4(pos, base);
        const std::size_t bytes = node.type == 1 ? 2 * node.valueLength : node.valueLength;
        if (pos + bytes > end) return ::testing::AssertionFailure() << "value past the block";
        node.value.assign(b.begin() + static_cast<std::ptrdiff_t>(pos),
                          b.begin() + static_cast<std::ptrdiff_t>(pos + bytes));
        pos += bytes;
    }
    while (pos < end) {
        pos = Align4(pos, base);
        Node child;
        if (auto result = Walk(b, base, pos, end, child); !result) return result;
        pos += U16(b, pos);
        node.children.push_back(std::move(child));
    }
    if (pos != end) return ::testing::AssertionFailure() << "children end at " << pos;
    return ::testing::AssertionSuccess();
}

// The VS_VERSIONINFO block, found through the resource tree's first entries.
::testing::AssertionResult VersionTree(const Bytes& b, Node& root, std::uint32_t language = 0x409) {
    const Layout l = LayoutOf(b);
    const auto rsrc = FileOffset(b, U32(b, l.optional + 96 + 16));
    if (!rsrc) return ::testing::AssertionFailure() << "no resource section";
    std::size_t dir = *rsrc;
    const std::uint32_t ids[] = {16, 1, language};
    std::uint32_t target = 0;
    for (const std::uint32_t id : ids) {
        if (U16(b, dir + 12) != 0 || U16(b, dir + 14) != 1 || U32(b, dir + 16) != id) {
            return ::testing::AssertionFailure() << "directory for " << id;
        }
        target = U32(b, dir + 20);
        dir = *rsrc + (target & 0x7FFFFFFF);
    }
    if ((target & 0x80000000u) != 0) return ::testing::AssertionFailure() << "no data entry";
    const auto data = FileOffset(b, U32(b, dir));
    if (!data || *data % 4 != 0) return ::testing::AssertionFailure() << "data not aligned";
    const std::size_t size = U32(b, dir + 4);
    if (U16(b, *data) != size) return ::testing::AssertionFailure() << "entry size " << size;
    return Walk(b, *data, *data, *data + size, root);
}

TEST(PeWriter, TheReaderReadsTheVersionWrittenForDllsAndDrivers) {
    const Version versions[] = {
        {5, 12, 1, 2560}, {0, 0, 0, 0}, {65535, 0, 32768, 1}, {2, 0, 1, 230}, {1, 2, 3, 4}};
    for (const PeKind kind : {PeKind::Dll, PeKind::Driver}) {
        for (const Version& v : versions) {
            VersionedImage image = Image(kind, v);
            image.productVersion = {9, 9, 9, 9};
            const auto bytes = platform::WritePeImage(image);
            ASSERT_TRUE(bytes.has_value());
            EXPECT_EQ(ReadBack(*bytes), std::to_string(v[0]) + "." + std::to_string(v[1]) + "." +
                                            std::to_string(v[2]) + "." + std::to_string(v[3]));
        }
    }
    const auto withStrings = platform::WritePeImage(WithStrings());
    ASSERT_TRUE(withStrings.has_value());
    EXPECT_EQ(ReadBack(*withStrings), "5.12.1.2560");
}

TEST(PeWriter, TheFileHasExactlyTheSizeAsked) {
    const auto smallest = platform::WritePeImage(WithStrings());
    ASSERT_TRUE(smallest.has_value());
    const std::size_t natural = smallest->size();
    EXPECT_EQ(natural % 0x200, 0u);
    for (const std::uint64_t size : {std::uint64_t{747392}, std::uint64_t{702080},
                                     std::uint64_t{natural}, std::uint64_t{natural + 1}}) {
        VersionedImage image = WithStrings();
        image.fileSize = size;
        const auto bytes = platform::WritePeImage(image);
        ASSERT_TRUE(bytes.has_value()) << size;
        EXPECT_EQ(bytes->size(), size);
        EXPECT_EQ(ReadBack(*bytes), "5.12.1.2560") << size;
        // The sections are the same; only the zeros after them and the checksum differ.
        const std::size_t checksum = LayoutOf(*bytes).optional + 64;
        for (std::size_t i = 0; i < natural; ++i) {
            if (i >= checksum && i < checksum + 4) continue;
            ASSERT_EQ((*bytes)[i], (*smallest)[i]) << "byte " << i << " of " << size;
        }
        for (std::size_t i = natural; i < bytes->size(); ++i) ASSERT_EQ((*bytes)[i], 0) << i;
    }
    VersionedImage tooSmall = WithStrings();
    tooSmall.fileSize = natural - 1;
    EXPECT_FALSE(platform::WritePeImage(tooSmall).has_value());
    VersionedImage tooLarge = WithStrings();
    tooLarge.fileSize = platform::kMaxPeFileSize + 1;
    EXPECT_FALSE(platform::WritePeImage(tooLarge).has_value());
}

TEST(PeWriter, HeadersDescribeAnI386ImageOfTheKindAsked) {
    for (const PeKind kind : {PeKind::Dll, PeKind::Driver}) {
        VersionedImage image = WithStrings();
        image.kind = kind;
        image.fileSize = 747392;
        image.timeDateStamp = 0x12345678;
        const auto written = platform::WritePeImage(image);
        ASSERT_TRUE(written.has_value());
        const Bytes& b = *written;
        const bool driver = kind == PeKind::Driver;
        EXPECT_EQ(b[0], 'M');
        EXPECT_EQ(b[1], 'Z');
        const std::size_t pe = U32(b, 0x3C);
        ASSERT_LT(pe, 0x200u);
        EXPECT_EQ(U32(b, pe), 0x00004550u);      // "PE\0\0"
        EXPECT_EQ(U16(b, pe + 4), 0x14cu);       // i386
        EXPECT_EQ(U32(b, pe + 8), 0x12345678u);  // time stamp
        EXPECT_EQ(U16(b, pe + 20), 224u);        // PE32 optional header
        const std::uint32_t characteristics = U16(b, pe + 22);
        EXPECT_EQ(characteristics & 0x0002, 0x0002u);  // executable
        EXPECT_EQ(characteristics & 0x0100, 0x0100u);  // 32-bit
        EXPECT_EQ(characteristics & 0x0001, 0u);       // relocations not stripped
        EXPECT_EQ((characteristics & 0x2000) != 0, !driver);

        const Layout l = LayoutOf(b);
        const std::size_t o = l.optional;
        EXPECT_EQ(U16(b, o), 0x10bu);
        EXPECT_EQ(U16(b, o + 68), driver ? 1u : 2u);  // native or Windows GUI
        const std::uint32_t sectionAlignment = U32(b, o + 32);
        const std::uint32_t fileAlignment = U32(b, o + 36);
        EXPECT_EQ(sectionAlignment, 0x1000u);
        EXPECT_EQ(fileAlignment, 0x200u);
        const std::uint32_t headers = U32(b, o + 60);
        EXPECT_EQ(headers % fileAlignment, 0u);
        EXPECT_LE(l.sections + 40 * l.sectionCount, headers);
        EXPECT_EQ(U32(b, o + 92), 16u);
        EXPECT_EQ(U32(b, o + 64), CheckSum(b, o + 64));

        // Sections in order, aligned, within the file and the image; the entry point in code.
        std::uint32_t nextRva = sectionAlignment;
        std::uint32_t nextRaw = headers;
        std::uint32_t entry = U32(b, o + 16);
        bool entryInCode = false;
        for (std::size_t i = 0; i < l.sectionCount; ++i) {
            const std::uint32_t virtualSize = U32(b, l.SectionField(i, 8));
            const std::uint32_t rva = U32(b, l.SectionField(i, 12));
            const std::uint32_t rawSize = U32(b, l.SectionField(i, 16));
            const std::uint32_t raw = U32(b, l.SectionField(i, 20));
            const std::uint32_t flags = U32(b, l.SectionField(i, 36));
            EXPECT_EQ(rva, nextRva) << i;
            EXPECT_EQ(raw, nextRaw) << i;
            EXPECT_EQ(rawSize % fileAlignment, 0u) << i;
            EXPECT_LE(virtualSize, rawSize) << i;
            EXPECT_LE(std::size_t{raw} + rawSize, b.size()) << i;
            if (entry >= rva && entry - rva < virtualSize) entryInCode = (flags & 0x20000000) != 0;
            nextRva =
                rva + (virtualSize + sectionAlignment - 1) / sectionAlignment * sectionAlignment;
            nextRaw = raw + rawSize;
        }
        EXPECT_TRUE(entryInCode);
        EXPECT_EQ(U32(b, o + 56), nextRva);  // size of image
        const auto code = FileOffset(b, entry);
        ASSERT_TRUE(code.has_value());
        // The entry's return value: TRUE for a DLL, STATUS_NOT_SUPPORTED for a driver.
        EXPECT_EQ(b[*code], 0xB8);
        EXPECT_EQ(U32(b, *code + 1), driver ? 0xC00000BBu : 1u);
    }
}

TEST(PeWriter, VersionBlocksHaveExactLengthsAndTheValuesAsked) {
    const auto written = platform::WritePeImage(WithStrings());
    ASSERT_TRUE(written.has_value());
    Node root;
    ASSERT_TRUE(VersionTree(*written, root));
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    EXPECT_EQ(root.type, 0u);
    ASSERT_EQ(root.valueLength, 52u);
    const Bytes& fixed = root.value;
    EXPECT_EQ(U32(fixed, 0), 0xFEEF04BDu);
    EXPECT_EQ(U32(fixed, 4), 0x00010000u);
    EXPECT_EQ(Dotted(U32(fixed, 8), U32(fixed, 12)), "5.12.1.2560");
    EXPECT_EQ(Dotted(U32(fixed, 16), U32(fixed, 20)), "5.12.0.7");
    EXPECT_EQ(U32(fixed, 32), 0x00040004u);  // VOS_NT_WINDOWS32
    EXPECT_EQ(U32(fixed, 36), 3u);           // VFT_DRV
    EXPECT_EQ(U32(fixed, 40), 9u);           // the subtype asked for

    ASSERT_EQ(root.children.size(), 2u);
    const Node* strings = root.Child(u"StringFileInfo");
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(strings->type, 1u);
    ASSERT_EQ(strings->children.size(), 1u);
    const Node& table = strings->children[0];
    EXPECT_EQ(table.key, u"040904B0");
    ASSERT_EQ(table.children.size(), 4u);
    const char16_t* expected[][2] = {{u"CompanyName", u"Example maker"},
                                     {u"FileDescription", u"Odd-length text"},
                                     {u"Comments", u""},
                                     {u"ProductName", u"An example"}};
    for (std::size_t i = 0; i < 4; ++i) {
        const Node& entry = table.children[i];
        EXPECT_EQ(entry.key, expected[i][0]);
        EXPECT_EQ(entry.type, 1u);
        const std::u16string value = expected[i][1];
        // Characters with the terminating NUL.
        EXPECT_EQ(entry.valueLength, value.size() + 1);
        EXPECT_EQ(entry.Text(), value + u'\0');
    }

    const Node* var = root.Child(u"VarFileInfo");
    ASSERT_NE(var, nullptr);
    ASSERT_EQ(var->children.size(), 1u);
    const Node& translation = var->children[0];
    EXPECT_EQ(translation.key, u"Translation");
    EXPECT_EQ(translation.type, 0u);
    ASSERT_EQ(translation.valueLength, 4u);
    EXPECT_EQ(U16(translation.value, 0), 0x0409u);
    EXPECT_EQ(U16(translation.value, 2), 1200u);
}

TEST(PeWriter, WithoutTextsOnlyTheTranslationFollowsTheFixedRecord) {
    VersionedImage image = Image(PeKind::Dll, {2, 0, 1, 230});
    image.language = 0x0407;
    image.codePage = 1252;
    const auto written = platform::WritePeImage(image);
    ASSERT_TRUE(written.has_value());
    Node root;
    ASSERT_TRUE(VersionTree(*written, root, 0x0407));
    EXPECT_EQ(U32(root.value, 36), 2u);  // VFT_DLL
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0].key, u"VarFileInfo");
    EXPECT_EQ(U16(root.children[0].children.at(0).value, 2), 1252u);
}

TEST(PeWriter, RefusesWhatAVersionResourceCannotHold) {
    VersionedImage nulInKey = WithStrings();
    nulInKey.strings.push_back({std::u16string(u"Bad\0Key", 7), u"x"});
    EXPECT_FALSE(platform::WritePeImage(nulInKey).has_value());
    VersionedImage nulInValue = WithStrings();
    nulInValue.strings.push_back({u"Comments", std::u16string(u"a\0b", 3)});
    EXPECT_FALSE(platform::WritePeImage(nulInValue).has_value());
    // wLength is 16 bits: 32000 characters fit, 33000 do not.
    VersionedImage large = WithStrings();
    large.strings.push_back({u"Comments", std::u16string(32000, u'x')});
    EXPECT_TRUE(platform::WritePeImage(large).has_value());
    large.strings.back().value.resize(33000, u'x');
    EXPECT_FALSE(platform::WritePeImage(large).has_value());
}

TEST(PeWriter, TheSameValuesGiveTheSameBytes) {
    VersionedImage image = WithStrings();
    image.fileSize = 4096;
    EXPECT_EQ(platform::WritePeImage(image), platform::WritePeImage(image));
    VersionedImage other = image;
    other.fileVersion[3] = 2559;
    EXPECT_NE(platform::WritePeImage(image), platform::WritePeImage(other));
}

}  // namespace
