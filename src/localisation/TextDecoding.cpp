#include "localisation/TextDecoding.h"

#include "core/CodePageTables.h"
#include "core/Utf.h"

namespace kadrix {

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::u16string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        out += static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    if (i < bytes.size()) out += u'\xFFFD';  // a lone trailing byte
    // An unpaired surrogate becomes U+FFFD here, as it would when the text is
    // written back as UTF-8: a value read from Settings.ini and saved again
    // must read back the same.
    for (size_t k = 0; k < out.size(); ++k) {
        if (IsHighSurrogate(out[k]) && k + 1 < out.size() && IsLowSurrogate(out[k + 1])) {
            ++k;
        } else if (IsHighSurrogate(out[k]) || IsLowSurrogate(out[k])) {
            out[k] = u'\xFFFD';
        }
    }
    return out;
}

const codepages::SingleByteTable& TableFor(unsigned codePage) {
    for (const auto& table : codepages::kTables) {
        if (table.codePage == codePage) return table;
    }
    for (const auto& table : codepages::kTables) {
        if (table.codePage == 1252) return table;
    }
    return codepages::kTables[0];
}

}  // namespace

std::u16string DecodeCodePage(std::string_view bytes, unsigned codePage) {
    const auto& table = TableFor(codePage);
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b < 0x80 ? static_cast<char16_t>(b) : table.upper[b - 0x80];
    }
    return out;
}

std::u16string DecodeText(std::string_view bytes, NoBomEncoding noBom, unsigned codePage) {
    if (bytes.starts_with(kUtf8Bom)) return Utf8ToUtf16(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true);
    return noBom == NoBomEncoding::Utf8 ? Utf8ToUtf16(bytes) : DecodeCodePage(bytes, codePage);
}

}  // namespace kadrix
