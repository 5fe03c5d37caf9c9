#include "upload/Charset.h"

#include <algorithm>
#include <array>

#include "upload/CharsetPlatform.h"

namespace kadrix {

namespace {

using charset::KnownCharset;

struct Label {
    std::string_view name;
    KnownCharset charset;
};

constexpr KnownCharset kLatin1{"ISO-8859-1", 28591};
constexpr KnownCharset kAscii{"ASCII", 20127};

// Lower-case labels, with the aliases services commonly send. Only sets that
// both iconv and Windows convert are listed.
constexpr std::array kLabels{
    Label{"utf-8", {"UTF-8", 65001}},          Label{"utf8", {"UTF-8", 65001}},
    Label{"unicode-1-1-utf-8", {"UTF-8", 65001}},
    Label{"iso-8859-1", kLatin1},              Label{"iso8859-1", kLatin1},
    Label{"iso_8859-1", kLatin1},              Label{"latin1", kLatin1},
    Label{"l1", kLatin1},                      Label{"us-ascii", kAscii},
    Label{"ascii", kAscii},                    Label{"ansi_x3.4-1968", kAscii},
    Label{"iso-8859-2", {"ISO-8859-2", 28592}}, Label{"latin2", {"ISO-8859-2", 28592}},
    Label{"iso-8859-3", {"ISO-8859-3", 28593}}, Label{"iso-8859-4", {"ISO-8859-4", 28594}},
    Label{"iso-8859-5", {"ISO-8859-5", 28595}}, Label{"iso-8859-6", {"ISO-8859-6", 28596}},
    Label{"iso-8859-7", {"ISO-8859-7", 28597}}, Label{"iso-8859-8", {"ISO-8859-8", 28598}},
    Label{"iso-8859-9", {"ISO-8859-9", 28599}}, Label{"latin5", {"ISO-8859-9", 28599}},
    Label{"iso-8859-13", {"ISO-8859-13", 28603}}, Label{"iso-8859-15", {"ISO-8859-15", 28605}},
    Label{"latin9", {"ISO-8859-15", 28605}},
    Label{"windows-874", {"WINDOWS-874", 874}},
    Label{"windows-1250", {"WINDOWS-1250", 1250}}, Label{"cp1250", {"WINDOWS-1250", 1250}},
    Label{"windows-1251", {"WINDOWS-1251", 1251}}, Label{"cp1251", {"WINDOWS-1251", 1251}},
    Label{"x-cp1251", {"WINDOWS-1251", 1251}},
    Label{"windows-1252", {"WINDOWS-1252", 1252}}, Label{"cp1252", {"WINDOWS-1252", 1252}},
    Label{"windows-1253", {"WINDOWS-1253", 1253}}, Label{"windows-1254", {"WINDOWS-1254", 1254}},
    Label{"windows-1255", {"WINDOWS-1255", 1255}}, Label{"windows-1256", {"WINDOWS-1256", 1256}},
    Label{"windows-1257", {"WINDOWS-1257", 1257}}, Label{"windows-1258", {"WINDOWS-1258", 1258}},
    Label{"koi8-r", {"KOI8-R", 20866}},          Label{"koi8r", {"KOI8-R", 20866}},
    Label{"koi8-u", {"KOI8-U", 21866}},
    Label{"ibm866", {"CP866", 866}},             Label{"cp866", {"CP866", 866}},
    Label{"macintosh", {"MACINTOSH", 10000}},    Label{"x-mac-cyrillic", {"MAC-CYRILLIC", 10007}},
    Label{"shift_jis", {"CP932", 932}},          Label{"sjis", {"CP932", 932}},
    Label{"windows-31j", {"CP932", 932}},        Label{"euc-jp", {"EUC-JP", 20932}},
    Label{"gbk", {"CP936", 936}},                Label{"gb2312", {"CP936", 936}},
    Label{"gb18030", {"GB18030", 54936}},        Label{"big5", {"CP950", 950}},
    Label{"euc-kr", {"CP949", 949}},             Label{"ks_c_5601-1987", {"CP949", 949}},
};

std::string NormalizeLabel(std::string_view name) {
    const auto blankOrQuote = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    while (!name.empty() && blankOrQuote(name.front())) name.remove_prefix(1);
    while (!name.empty() && blankOrQuote(name.back())) name.remove_suffix(1);
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace

std::u16string Latin1ToUtf16(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), out.begin(),
                   [](char b) { return static_cast<char16_t>(static_cast<unsigned char>(b)); });
    return out;
}

std::u16string AsciiBytesToUtf16(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), out.begin(), [](char b) {
        const auto u = static_cast<unsigned char>(b);
        return u < 0x80 ? static_cast<char16_t>(u) : u'\xFFFD';
    });
    return out;
}

std::optional<std::u16string> CharsetToUtf16(std::string_view charset, std::string_view bytes) {
    const std::string label = NormalizeLabel(charset);
    const auto found = std::find_if(kLabels.begin(), kLabels.end(), [&](const Label& l) { return l.name == label; });
    if (found == kLabels.end()) return std::nullopt;
    // The two trivial sets are done here: the platforms disagree on what
    // ASCII makes of bytes over 0x7F.
    if (found->charset.codePage == kLatin1.codePage) return Latin1ToUtf16(bytes);
    if (found->charset.codePage == kAscii.codePage) return AsciiBytesToUtf16(bytes);
    return charset::PlatformToUtf16(found->charset, bytes);
}

}  // namespace kadrix
