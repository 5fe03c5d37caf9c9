#include "core/TemporaryFileName.h"

namespace kadrix {

namespace {

constexpr std::u16string_view kPrefix = u".~kadrix-";
constexpr std::u16string_view kSuffix = u".tmp";
constexpr char16_t kHexDigits[] = u"0123456789abcdef";

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;  // upper case is not what we write
}

}  // namespace

std::u16string TemporaryFileName(std::u16string_view targetName, TemporaryFileOwner owner) {
    std::u16string name(kPrefix);
    const std::string pid = std::to_string(owner.ProcessId);
    name.append(pid.begin(), pid.end());
    name += u'-';
    for (int shift = 60; shift >= 0; shift -= 4) name += kHexDigits[(owner.ProcessStart >> shift) & 0xF];
    name += u'-';
    name += targetName;
    name += kSuffix;
    return name;
}

std::optional<TemporaryFileOwner> TemporaryFileOwnerOf(std::u16string_view name) {
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return std::nullopt;
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());

    // Decimal, no leading zero, at most 32 bits: only what we write.
    TemporaryFileOwner owner;
    size_t i = 0;
    uint64_t pid = 0;
    while (i < name.size() && name[i] >= u'0' && name[i] <= u'9' && i < 10) {
        pid = pid * 10 + (name[i] - u'0');
        ++i;
    }
    if (i == 0 || name[0] == u'0' || pid > UINT32_MAX || i >= name.size() || name[i] != u'-') return std::nullopt;
    owner.ProcessId = static_cast<uint32_t>(pid);
    name.remove_prefix(i + 1);

    if (name.size() < 16 + 2 || name[16] != u'-') return std::nullopt;  // start, "-", a target name
    for (size_t d = 0; d < 16; ++d) {
        const int v = HexValue(name[d]);
        if (v < 0) return std::nullopt;
        owner.ProcessStart = (owner.ProcessStart << 4) | static_cast<uint64_t>(v);
    }
    return owner;
}

}  // namespace kadrix
