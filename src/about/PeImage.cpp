#include "about/PeImage.h"

#include <string_view>

namespace kadrix {

namespace {

constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kVersionResourceType = 16;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kSubdirectoryBit = 0x80000000;
// A resource tree deeper than type / name / language is not ours to follow.
constexpr int kResourceLevels = 3;

class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> b) : b_(b) {}
    size_t Size() const { return b_.size(); }
    bool Has(uint64_t offset, uint64_t count) const { return offset <= b_.size() && count <= b_.size() - offset; }
    std::optional<uint16_t> U16(uint64_t o) const {
        if (!Has(o, 2)) return std::nullopt;
        return static_cast<uint16_t>(b_[o] | b_[o + 1] << 8);
    }
    std::optional<uint32_t> U32(uint64_t o) const {
        if (!Has(o, 4)) return std::nullopt;
        return static_cast<uint32_t>(b_[o]) | static_cast<uint32_t>(b_[o + 1]) << 8 |
               static_cast<uint32_t>(b_[o + 2]) << 16 | static_cast<uint32_t>(b_[o + 3]) << 24;
    }

private:
    std::span<const uint8_t> b_;
};

struct Headers {
    uint64_t optional = 0;      // offset of the optional header
    uint64_t sections = 0;      // offset of the section table
    uint16_t sectionCount = 0;
    uint32_t resourceRva = 0;   // 0: no resource directory
};

std::optional<Headers> ReadHeaders(const Bytes& b) {
    if (b.U16(0) != 0x5A4D) return std::nullopt;  // "MZ"
    const auto peOffset = b.U32(0x3C);
    if (!peOffset || b.U32(*peOffset) != 0x00004550) return std::nullopt;  // "PE\0\0"
    Headers h;
    const uint64_t coff = uint64_t{*peOffset} + 4;
    const auto sectionCount = b.U16(coff + 2);
    const auto optionalSize = b.U16(coff + 16);
    if (!sectionCount || !optionalSize) return std::nullopt;
    h.optional = coff + 20;
    h.sections = h.optional + *optionalSize;
    h.sectionCount = *sectionCount;
    const auto magic = b.U16(h.optional);
    uint64_t countField, directories;
    if (magic == 0x10B) {
        countField = 92, directories = 96;
    } else if (magic == 0x20B) {
        countField = 108, directories = 112;
    } else {
        return std::nullopt;
    }
    const auto count = b.U32(h.optional + countField);
    if (!count) return std::nullopt;
    const uint64_t entry = directories + 8 * kResourceDirectoryIndex;
    // The directory must lie inside the optional header as its size says.
    if (*count > kResourceDirectoryIndex && entry + 8 <= *optionalSize) {
        const auto rva = b.U32(h.optional + entry);
        const auto size = b.U32(h.optional + entry + 4);
        if (rva && size && *size >= 16) h.resourceRva = *rva;
    }
    return h;
}

// Where an RVA lies in the bytes: itself when mapped; through the section
// that holds it in a file.
std::optional<uint64_t> Locate(const Bytes& b, const Headers& h, uint32_t rva, PeLayout layout) {
    if (layout == PeLayout::Mapped) return rva;
    for (uint16_t i = 0; i < h.sectionCount; ++i) {
        const uint64_t s = h.sections + 40ull * i;
        const auto virtualSize = b.U32(s + 8), virtualAddress = b.U32(s + 12);
        const auto rawSize = b.U32(s + 16), rawPointer = b.U32(s + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawPointer) return std::nullopt;
        // Past its raw data a section is zeros that the file does not hold.
        if (rva >= *virtualAddress && rva - *virtualAddress < *rawSize) {
            return uint64_t{*rawPointer} + (rva - *virtualAddress);
        }
    }
    return std::nullopt;
}

// The first entry of a resource directory table whose id is wanted (any id
// when wanted is none); the entry's offset-to-data field.
std::optional<uint32_t> FindEntry(const Bytes& b, uint64_t table, std::optional<uint32_t> wanted) {
    const auto named = b.U16(table + 12), ids = b.U16(table + 14);
    if (!named || !ids) return std::nullopt;
    for (uint32_t i = 0; i < uint32_t{*named} + *ids; ++i) {
        const uint64_t entry = table + 16 + 8ull * i;
        const auto name = b.U32(entry), data = b.U32(entry + 4);
        if (!name || !data) return std::nullopt;
        const bool isId = i >= *named;
        if (!wanted || (isId && *name == *wanted)) return *data;
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint32_t> PeSizeOfImage(std::span<const uint8_t> headers) {
    const Bytes b(headers);
    const auto h = ReadHeaders(b);
    if (!h) return std::nullopt;
    return b.U32(h->optional + 56);
}

std::optional<size_t> ResourceStampOffset(std::span<const uint8_t> image, PeLayout layout) {
    const Bytes b(image);
    const auto h = ReadHeaders(b);
    if (!h || !h->resourceRva) return std::nullopt;
    const auto root = Locate(b, *h, h->resourceRva, layout);
    if (!root || !b.Has(*root, 16)) return std::nullopt;
    return static_cast<size_t>(*root + 4);
}

std::optional<uint32_t> ResourceTimeDateStamp(std::span<const uint8_t> image, PeLayout layout) {
    const auto offset = ResourceStampOffset(image, layout);
    if (!offset) return std::nullopt;
    return Bytes(image).U32(*offset);
}

std::optional<FixedFileVersion> ReadFixedFileVersion(std::span<const uint8_t> image, PeLayout layout) {
    const Bytes b(image);
    const auto h = ReadHeaders(b);
    if (!h || !h->resourceRva) return std::nullopt;
    const auto root = Locate(b, *h, h->resourceRva, layout);
    if (!root) return std::nullopt;

    // Type 16, then the first name and the first language under it.
    uint64_t table = *root;
    std::optional<uint32_t> wanted = kVersionResourceType;
    uint32_t data = 0;
    for (int level = 0; level < kResourceLevels; ++level) {
        const auto entry = FindEntry(b, table, wanted);
        if (!entry) return std::nullopt;
        const bool subdirectory = (*entry & kSubdirectoryBit) != 0;
        if (level < kResourceLevels - 1) {
            if (!subdirectory) return std::nullopt;
            table = *root + (*entry & ~kSubdirectoryBit);
        } else {
            if (subdirectory) return std::nullopt;
            data = *entry;
        }
        wanted.reset();
    }
    const auto dataRva = b.U32(*root + data), dataSize = b.U32(*root + data + 4);
    if (!dataRva || !dataSize) return std::nullopt;
    const auto block = Locate(b, *h, *dataRva, layout);
    if (!block || !b.Has(*block, *dataSize)) return std::nullopt;

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO"
    // in UTF-16 with its terminator, padding to 32 bits, then the value.
    const auto valueLength = b.U16(*block + 2);
    if (!valueLength || *valueLength < 52) return std::nullopt;
    static constexpr std::u16string_view kKey = u"VS_VERSION_INFO";
    for (size_t i = 0; i <= kKey.size(); ++i) {
        const char16_t expected = i < kKey.size() ? kKey[i] : u'\0';
        if (b.U16(*block + 6 + 2 * i) != expected) return std::nullopt;
    }
    const uint64_t value = (6 + 2 * (kKey.size() + 1) + 3) & ~uint64_t{3};
    if (value + 52 > *dataSize) return std::nullopt;
    if (b.U32(*block + value) != kFixedFileInfoSignature) return std::nullopt;
    return FixedFileVersion{*b.U32(*block + value + 8), *b.U32(*block + value + 12)};
}

}  // namespace kadrix
