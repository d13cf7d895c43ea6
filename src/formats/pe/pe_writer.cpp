#include "formats/pe/pe_writer.h"

#include <cstring>
#include <string_view>

#include "formats/pe/pe_version.h"

namespace platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::size_t kPeOffset = 0x80;
constexpr std::size_t kCoffOffset = kPeOffset + 4;
constexpr std::size_t kOptionalOffset = kCoffOffset + 20;
constexpr std::uint16_t kOptionalSize = 224;  // PE32 with all 16 data directories
constexpr std::size_t kSectionTableOffset = kOptionalOffset + kOptionalSize;
constexpr std::uint16_t kSectionCount = 2;
constexpr std::uint32_t kHeadersSize = kFileAlignment;  // the section table ends at 0x1C8
constexpr std::uint32_t kTextRva = kSectionAlignment;
constexpr std::uint32_t kTextRaw = kHeadersSize;
constexpr std::uint32_t kRsrcRva = 2 * kSectionAlignment;
constexpr std::uint32_t kRsrcRaw = kTextRaw + kFileAlignment;
static_assert(kSectionTableOffset + kSectionCount * 40 <= kHeadersSize);

constexpr std::uint16_t kMachineI386 = 0x14c;
constexpr std::uint16_t kPe32Magic = 0x10b;
// IMAGE_FILE_EXECUTABLE_IMAGE | LINE_NUMS_STRIPPED | LOCAL_SYMS_STRIPPED | 32BIT_MACHINE.
constexpr std::uint16_t kImageCharacteristics = 0x010E;
constexpr std::uint16_t kImageFileDll = 0x2000;
constexpr std::uint16_t kSubsystemNative = 1;
constexpr std::uint16_t kSubsystemWindowsGui = 2;
constexpr std::uint32_t kCodeSection = 0x60000020;  // code, execute, read
constexpr std::uint32_t kDataSection = 0x40000040;  // initialised data, read

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::uint32_t kVftDll = 2;
constexpr std::uint32_t kVftDrv = 3;
constexpr std::uint32_t kVosNtWindows32 = 0x00040004;
constexpr std::size_t kMaxBlockLength = 0xFFFF;  // wLength is 16 bits

// DllMain(hinst, reason, reserved) returns TRUE: mov eax, 1; ret 12.
constexpr std::uint8_t kDllEntry[] = {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC2, 0x0C, 0x00};
// DriverEntry(object, path) returns STATUS_NOT_SUPPORTED: this file is a stand-in, never a
// driver. mov eax, 0xC00000BB; ret 8.
constexpr std::uint8_t kDriverEntry[] = {0xB8, 0xBB, 0x00, 0x00, 0xC0, 0xC2, 0x08, 0x00};
// The DOS program: push cs; pop ds; mov dx, message; mov ah, 9; int 21h; mov ax, 4C01h;
// int 21h; then the message, which DOS prints up to the "$".
constexpr std::uint8_t kDosCode[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                     0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr std::string_view kDosMessage = "This file needs Windows NT.\r\n$";

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Append16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Append32(Bytes& b, std::uint32_t v) {
    Append16(b, v & 0xFFFF);
    Append16(b, v >> 16);
}

void AppendText(Bytes& b, std::u16string_view text) {
    for (const char16_t c : text) Append16(b, c);
    Append16(b, 0);
}

void PadTo32Bits(Bytes& b) {
    while (b.size() % 4 != 0) b.push_back(0);
}

// One block of a version resource: wLength, wValueLength, wType, the key, the value, the
// children; the value and every child begin on a 32-bit boundary. wLength counts up to the
// end of the block's own last byte, without padding after it.
struct Block {
    std::u16string key;
    bool text = false;            // wType 1; wValueLength then counts characters
    Bytes value;                  // as stored
    std::uint16_t valueLength{};  // bytes, or characters with the NUL for a text
    std::vector<Block> children;
};

bool Append(Bytes& out, const Block& block) {
    const std::size_t start = out.size();
    Append16(out, 0);
    Append16(out, block.valueLength);
    Append16(out, block.text ? 1 : 0);
    AppendText(out, block.key);
    if (!block.value.empty()) {
        PadTo32Bits(out);
        out.insert(out.end(), block.value.begin(), block.value.end());
    }
    for (const Block& child : block.children) {
        PadTo32Bits(out);
        if (!Append(out, child)) return false;
    }
    const std::size_t length = out.size() - start;
    if (length > kMaxBlockLength) return false;
    Put16(out, start, static_cast<std::uint32_t>(length));
    return true;
}

std::uint32_t High(const std::array<std::uint16_t, 4>& v) {
    return std::uint32_t{v[0]} << 16 | v[1];
}
std::uint32_t Low(const std::array<std::uint16_t, 4>& v) {
    return std::uint32_t{v[2]} << 16 | v[3];
}

Bytes FixedFileInfo(const VersionedImage& image) {
    Bytes b;
    Append32(b, kFixedInfoSignature);
    Append32(b, 0x00010000);  // structure version 1.0
    Append32(b, High(image.fileVersion));
    Append32(b, Low(image.fileVersion));
    Append32(b, High(image.productVersion));
    Append32(b, Low(image.productVersion));
    Append32(b, 0x3F);  // VS_FFI_FILEFLAGSMASK
    Append32(b, 0);     // no flags: a release build
    Append32(b, kVosNtWindows32);
    Append32(b, image.kind == PeKind::Driver ? kVftDrv : kVftDll);
    Append32(b, image.fileSubtype);
    Append32(b, 0);  // file date, high and low
    Append32(b, 0);
    return b;
}

std::u16string HexKey(std::uint16_t language, std::uint16_t codePage) {
    const std::uint32_t both = std::uint32_t{language} << 16 | codePage;
    std::u16string key;
    for (int shift = 28; shift >= 0; shift -= 4) {
        key.push_back(static_cast<char16_t>("0123456789ABCDEF"[(both >> shift) & 0xF]));
    }
    return key;
}

// VS_VERSIONINFO with the fixed record, the string table (when there are texts) and the
// translation that names the table's language and code page.
std::optional<Bytes> VersionResource(const VersionedImage& image) {
    Block root{u"VS_VERSION_INFO", false, FixedFileInfo(image), 52, {}};
    if (!image.strings.empty()) {
        Block table{HexKey(image.language, image.codePage), true, {}, 0, {}};
        for (const VersionString& s : image.strings) {
            if (s.key.find(u'\0') != std::u16string::npos ||
                s.value.find(u'\0') != std::u16string::npos || s.value.size() >= kMaxBlockLength) {
                return std::nullopt;
            }
            Block entry{s.key, true, {}, static_cast<std::uint16_t>(s.value.size() + 1), {}};
            AppendText(entry.value, s.value);
            table.children.push_back(std::move(entry));
        }
        root.children.push_back(Block{u"StringFileInfo", true, {}, 0, {std::move(table)}});
    }
    Block translation{u"Translation", false, {}, 4, {}};
    Append16(translation.value, image.language);
    Append16(translation.value, image.codePage);
    root.children.push_back(Block{u"VarFileInfo", true, {}, 0, {std::move(translation)}});

    Bytes out;
    if (!Append(out, root)) return std::nullopt;
    return out;
}

// The resource tree, one entry on each level: RT_VERSION, name 1, the language, then the
// data entry and the data. Offsets within the tree count from the start of the section.
Bytes ResourceSection(const Bytes& version, std::uint16_t language) {
    constexpr std::uint32_t kNames = 0x18;
    constexpr std::uint32_t kLanguages = 0x30;
    constexpr std::uint32_t kDataEntry = 0x48;
    constexpr std::uint32_t kData = 0x58;
    Bytes b(kData, 0);
    const auto directory = [&b](std::uint32_t at, std::uint32_t id, std::uint32_t target) {
        Put16(b, at + 14, 1);  // no named entries, one ID entry
        Put32(b, at + 16, id);
        Put32(b, at + 20, target);
    };
    directory(0, kRtVersion, kSubdirectory | kNames);
    directory(kNames, 1, kSubdirectory | kLanguages);
    directory(kLanguages, language, kDataEntry);
    Put32(b, kDataEntry, kRsrcRva + kData);
    Put32(b, kDataEntry + 4, static_cast<std::uint32_t>(version.size()));
    b.insert(b.end(), version.begin(), version.end());
    return b;
}

void WriteDosHeader(Bytes& b) {
    b[0] = 'M';
    b[1] = 'Z';
    Put16(b, 0x02, kPeOffset);  // bytes in the last (only) page of the DOS program
    Put16(b, 0x04, 1);          // pages
    Put16(b, 0x08, 4);          // header paragraphs: the program starts at 0x40
    Put16(b, 0x0C, 0xFFFF);     // most extra paragraphs
    Put16(b, 0x10, 0xB8);       // initial SP
    Put16(b, 0x18, 0x40);       // relocation table offset: none, past the header
    Put32(b, 0x3C, kPeOffset);
    std::memcpy(&b[0x40], kDosCode, sizeof kDosCode);
    std::memcpy(&b[0x40 + sizeof kDosCode], kDosMessage.data(), kDosMessage.size());
}

void WriteSection(Bytes& b, std::size_t index, const char* name, std::uint32_t virtualSize,
                  std::uint32_t rva, std::uint32_t rawSize, std::uint32_t raw,
                  std::uint32_t characteristics) {
    const std::size_t at = kSectionTableOffset + index * 40;
    std::memcpy(&b[at], name, std::strlen(name));
    Put32(b, at + 8, virtualSize);
    Put32(b, at + 12, rva);
    Put32(b, at + 16, rawSize);
    Put32(b, at + 20, raw);
    Put32(b, at + 36, characteristics);
}

// The image checksum as the loader checks it for drivers: a 16-bit sum with end-around
// carry of the whole file (its checksum field still 0), plus the file's length.
std::uint32_t CheckSum(const Bytes& b) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        sum += b[i] | (i + 1 < b.size() ? b[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<std::uint32_t>(b.size());
}

}  // namespace

std::optional<std::vector<std::uint8_t>> WritePeImage(const VersionedImage& image) {
    const std::optional<Bytes> version = VersionResource(image);
    if (!version) return std::nullopt;
    const Bytes rsrc = ResourceSection(*version, image.language);
    const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
    const std::uint32_t rsrcRawSize = AlignUp(rsrcSize, kFileAlignment);
    const std::uint64_t natural = std::uint64_t{kRsrcRaw} + rsrcRawSize;
    const std::uint64_t fileSize = image.fileSize == 0 ? natural : image.fileSize;
    if (fileSize < natural || fileSize > kMaxPeFileSize) return std::nullopt;

    const bool driver = image.kind == PeKind::Driver;
    const std::uint8_t* entry = driver ? kDriverEntry : kDllEntry;
    const std::uint32_t entrySize = driver ? sizeof kDriverEntry : sizeof kDllEntry;

    Bytes b(static_cast<std::size_t>(fileSize), 0);
    WriteDosHeader(b);
    std::memcpy(&b[kPeOffset], "PE\0\0", 4);

    Put16(b, kCoffOffset, kMachineI386);
    Put16(b, kCoffOffset + 2, kSectionCount);
    Put32(b, kCoffOffset + 4, image.timeDateStamp);
    Put16(b, kCoffOffset + 16, kOptionalSize);
    Put16(b, kCoffOffset + 18, kImageCharacteristics | (driver ? 0 : kImageFileDll));

    const std::size_t o = kOptionalOffset;
    Put16(b, o, kPe32Magic);
    b[o + 2] = 8;                                     // linker version 8.0
    Put32(b, o + 4, kFileAlignment);                  // size of code
    Put32(b, o + 8, rsrcRawSize);                     // size of initialised data
    Put32(b, o + 16, kTextRva);                       // entry point
    Put32(b, o + 20, kTextRva);                       // base of code
    Put32(b, o + 24, kRsrcRva);                       // base of data
    Put32(b, o + 28, driver ? 0x10000 : 0x10000000);  // image base
    Put32(b, o + 32, kSectionAlignment);
    Put32(b, o + 36, kFileAlignment);
    Put16(b, o + 40, 5);  // operating system 5.1: Windows XP
    Put16(b, o + 42, 1);
    Put16(b, o + 44, image.fileVersion[0]);  // image version
    Put16(b, o + 46, image.fileVersion[1]);
    Put16(b, o + 48, 5);  // subsystem 5.1
    Put16(b, o + 50, 1);
    Put32(b, o + 56, kRsrcRva + AlignUp(rsrcSize, kSectionAlignment));  // size of image
    Put32(b, o + 60, kHeadersSize);
    Put16(b, o + 68, driver ? kSubsystemNative : kSubsystemWindowsGui);
    Put32(b, o + 72, 0x100000);  // stack reserve, commit; heap reserve, commit
    Put32(b, o + 76, 0x1000);
    Put32(b, o + 80, 0x100000);
    Put32(b, o + 84, 0x1000);
    Put32(b, o + 92, 16);  // data directories
    Put32(b, o + 96 + 2 * 8, kRsrcRva);
    Put32(b, o + 96 + 2 * 8 + 4, rsrcSize);

    WriteSection(b, 0, ".text", entrySize, kTextRva, kFileAlignment, kTextRaw, kCodeSection);
    WriteSection(b, 1, ".rsrc", rsrcSize, kRsrcRva, rsrcRawSize, kRsrcRaw, kDataSection);
    std::memcpy(&b[kTextRaw], entry, entrySize);
    std::memcpy(&b[kRsrcRaw], rsrc.data(), rsrc.size());

    Put32(b, o + 64, CheckSum(b));
    return b;
}

}  // namespace platform
