// Native build: glibc's iconv does the conversion.
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <string>

#include "upload/CharsetPlatform.h"

namespace kadrix::charset {

namespace {

class Iconv {
public:
    explicit Iconv(const std::string& from) : handle_(iconv_open(kUtf16Native, from.c_str())) {}
    ~Iconv() {
        if (Valid()) iconv_close(handle_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    // (iconv_t)-1 is how iconv_open says it failed.
    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)
    iconv_t Get() const { return handle_; }

private:
    static constexpr const char* kUtf16Native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
    iconv_t handle_;
};

}  // namespace

std::optional<std::u16string> PlatformToUtf16(const KnownCharset& charset, std::string_view bytes) {
    Iconv cd{std::string(charset.iconvName)};
    if (!cd.Valid()) return std::nullopt;
    // No set we list makes more than one UTF-16 unit per input byte.
    std::u16string out(bytes.size() + 2, u'\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t written = 0;
    while (true) {
        char* outPtr = reinterpret_cast<char*>(out.data() + written);
        size_t outLeft = (out.size() - written) * sizeof(char16_t);
        const size_t rc = inLeft == 0 ? iconv(cd.Get(), nullptr, nullptr, &outPtr, &outLeft)
                                      : iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft / sizeof(char16_t);
        if (rc != static_cast<size_t>(-1)) {
            if (inLeft == 0) break;
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 16);
        } else if (errno == EILSEQ || errno == EINVAL) {
            // A bad or cut-off sequence: mark it and go on after its first byte.
            if (written == out.size()) out.resize(out.size() * 2 + 16);
            out[written++] = u'\xFFFD';
            ++in;
            --inLeft;
            iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
        } else {
            return std::nullopt;
        }
    }
    out.resize(written);
    return out;
}

}  // namespace kadrix::charset
