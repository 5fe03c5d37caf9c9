// Pictures are written with libpng's own writer, so every colour type, bit
// depth and interlacing is covered without fixtures; the expected pixels are
// worked out from the samples written.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "core/Error.h"
#include "core/Utf.h"
#include "image/Png.h"

namespace kadrix {
namespace {

constexpr int kWidth = 9, kHeight = 7;  // odd, so packed rows end mid-byte and every Adam7 pass has pixels

struct Spec {
    const char* name;
    int colorType;
    int bitDepth;
    bool interlaced = false;
    bool transparency = false;  // a tRNS chunk
};

int Channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

constexpr int kPaletteSize = 16;
png_color PaletteEntry(int i) {
    return {static_cast<png_byte>(i * 16 + 1), static_cast<png_byte>(255 - i * 16), static_cast<png_byte>(i * 5)};
}
png_byte PaletteAlpha(int i) { return static_cast<png_byte>(i * 17); }
constexpr int kPaletteAlphas = 10;  // entries past this are opaque

// Sample c of pixel (x, y) as written, in 0 .. 2^bitDepth - 1.
unsigned Sample(const Spec& s, int x, int y, int c) {
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
        const int count = s.bitDepth >= 4 ? kPaletteSize : 1 << s.bitDepth;
        return static_cast<unsigned>(x + y * 3) % count;
    }
    const unsigned v = static_cast<unsigned>(x * 7 + y * 13 + c * 5) * 37;
    if (s.bitDepth == 16) return (v % 256) * 257;  // scales back to v % 256 exactly
    return v % (1u << s.bitDepth);
}

std::uint8_t To8(const Spec& s, unsigned sample) {
    if (s.bitDepth == 16) return static_cast<std::uint8_t>(sample / 257);
    return static_cast<std::uint8_t>(sample * 255 / ((1u << s.bitDepth) - 1));
}

// Pixel (0, 0)'s colour is the one tRNS makes transparent for grey and RGB.
struct Bgra {
    std::uint8_t b, g, r, a;
    bool operator==(const Bgra&) const = default;
};

Bgra Expected(const Spec& s, int x, int y) {
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
        const int i = static_cast<int>(Sample(s, x, y, 0));
        const png_color c = PaletteEntry(i);
        const std::uint8_t a = s.transparency && i < kPaletteAlphas ? PaletteAlpha(i) : 255;
        return {c.blue, c.green, c.red, a};
    }
    const int n = Channels(s.colorType);
    unsigned raw[4] = {};
    bool sameAsFirst = true;
    for (int c = 0; c < n; ++c) {
        raw[c] = Sample(s, x, y, c);
        sameAsFirst = sameAsFirst && raw[c] == Sample(s, 0, 0, c);
    }
    std::uint8_t alpha = 255;
    if (s.colorType & PNG_COLOR_MASK_ALPHA) alpha = To8(s, raw[n - 1]);
    if (s.transparency && sameAsFirst) alpha = 0;
    if (s.colorType & PNG_COLOR_MASK_COLOR) return {To8(s, raw[2]), To8(s, raw[1]), To8(s, raw[0]), alpha};
    const std::uint8_t grey = To8(s, raw[0]);
    return {grey, grey, grey, alpha};
}

void Append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void Flush(png_structp) {}

// setjmp frame with trivially destructible locals only; returns false on a writer error.
bool WriteInto(const Spec& s, png_bytepp rows, std::string* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, kWidth, kHeight, s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[kPaletteSize];
    png_byte alphas[kPaletteAlphas];
    png_color_16 transparent{};
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
        const int count = s.bitDepth >= 4 ? kPaletteSize : 1 << s.bitDepth;
        for (int i = 0; i < count; ++i) palette[i] = PaletteEntry(i);
        png_set_PLTE(png, info, palette, count);
        for (int i = 0; i < kPaletteAlphas; ++i) alphas[i] = PaletteAlpha(i);
        if (s.transparency) png_set_tRNS(png, info, alphas, count < kPaletteAlphas ? count : kPaletteAlphas, nullptr);
    } else if (s.transparency) {
        transparent.gray = static_cast<png_uint_16>(Sample(s, 0, 0, 0));
        transparent.red = static_cast<png_uint_16>(Sample(s, 0, 0, 0));
        transparent.green = static_cast<png_uint_16>(Sample(s, 0, 0, 1));
        transparent.blue = static_cast<png_uint_16>(Sample(s, 0, 0, 2));
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    png_write_info(png, info);
    if (s.bitDepth < 8) png_set_packing(png);  // rows hold one byte per pixel
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::string WritePng(const Spec& s) {
    const int n = Channels(s.colorType);
    const int bytesPerSample = s.bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<png_byte>> data(kHeight, std::vector<png_byte>(kWidth * n * bytesPerSample));
    std::vector<png_bytep> rows;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            for (int c = 0; c < n; ++c) {
                const unsigned v = Sample(s, x, y, c);
                png_byte* p = &data[y][(x * n + c) * bytesPerSample];
                if (bytesPerSample == 2) {
                    p[0] = static_cast<png_byte>(v >> 8);
                    p[1] = static_cast<png_byte>(v);
                } else {
                    p[0] = static_cast<png_byte>(v);
                }
            }
        }
        rows.push_back(data[y].data());
    }
    std::string out;
    if (!WriteInto(s, rows.data(), &out)) out.clear();
    return out;
}

constexpr int G = PNG_COLOR_TYPE_GRAY, GA = PNG_COLOR_TYPE_GRAY_ALPHA, RGB = PNG_COLOR_TYPE_RGB,
              RGBA = PNG_COLOR_TYPE_RGB_ALPHA, P = PNG_COLOR_TYPE_PALETTE;

const Spec kImages[] = {
    {"grey 1", G, 1},           {"grey 2", G, 2},
    {"grey 4", G, 4},           {"grey 8", G, 8},
    {"grey 16", G, 16},         {"grey 4 tRNS", G, 4, false, true},
    {"grey 16 tRNS", G, 16, false, true},
    {"grey+alpha 8", GA, 8},    {"grey+alpha 16", GA, 16},
    {"RGB 8", RGB, 8},          {"RGB 16", RGB, 16},
    {"RGB 8 tRNS", RGB, 8, false, true},
    {"RGB 16 tRNS", RGB, 16, false, true},
    {"RGBA 8", RGBA, 8},        {"RGBA 16", RGBA, 16},
    {"palette 1", P, 1},        {"palette 2", P, 2},
    {"palette 4", P, 4},        {"palette 8", P, 8},
    {"palette 2 tRNS", P, 2, false, true},
    {"palette 8 tRNS", P, 8, false, true},
    {"interlaced grey 1", G, 1, true},
    {"interlaced grey 16", G, 16, true},
    {"interlaced grey+alpha 8", GA, 8, true},
    {"interlaced RGB 8", RGB, 8, true},
    {"interlaced RGBA 16", RGBA, 16, true},
    {"interlaced palette 4 tRNS", P, 4, true, true},
};

TEST(PngDecode, EveryColourTypeDepthTransparencyAndInterlacing) {
    for (const Spec& spec : kImages) {
        SCOPED_TRACE(spec.name);
        const std::string file = WritePng(spec);
        ASSERT_FALSE(file.empty());
        const Image32 image = DecodePng(file);
        ASSERT_EQ(image.Width, kWidth);
        ASSERT_EQ(image.Height, kHeight);
        ASSERT_EQ(image.Pixels.size(), std::size_t{kWidth} * kHeight * 4);
        bool anyTransparent = false;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::uint8_t* p = image.Pixel(x, y);
                const Bgra got{p[0], p[1], p[2], p[3]};
                const Bgra want = Expected(spec, x, y);
                anyTransparent = anyTransparent || want.a == 0;
                ASSERT_EQ(got, want) << "pixel " << x << "," << y << ": got " << int(got.b) << " " << int(got.g)
                                     << " " << int(got.r) << " " << int(got.a) << ", want " << int(want.b) << " "
                                     << int(want.g) << " " << int(want.r) << " " << int(want.a);
            }
        }
        // A transparency case that made nothing transparent would prove nothing.
        EXPECT_TRUE(!spec.transparency || anyTransparent);
    }
}

// ---- broken files -------------------------------------------------------------

std::uint32_t Be32(const std::string& s, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8 |
           static_cast<unsigned char>(s[at + 3]);
}

void PutBe32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

// Offset of the first chunk of this type (its length field).
std::size_t FindChunk(const std::string& png, const char* type) {
    for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + Be32(png, at)) {
        if (png.compare(at + 4, 4, type) == 0) return at;
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 8;
}

// Makes a damaged chunk's CRC right again, so the damage itself is what is read.
void FixCrc(std::string& png, std::size_t chunk) {
    const std::uint32_t length = Be32(png, chunk);
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + chunk + 4), length + 4);
    PutBe32(png, chunk + 8 + length, static_cast<std::uint32_t>(crc));
}

std::string WithSize(std::uint32_t width, std::uint32_t height) {
    std::string png = WritePng({"", RGB, 8});
    PutBe32(png, 16, width);
    PutBe32(png, 20, height);
    FixCrc(png, 8);
    return png;
}

TEST(PngDecode, BrokenFilesAreErrors) {
    const std::string good = WritePng({"", RGB, 8});
    ASSERT_NO_THROW(DecodePng(good));
    const std::size_t idat = FindChunk(good, "IDAT");
    const std::size_t iend = FindChunk(good, "IEND");

    struct Case {
        const char* name;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"empty", ""},
        {"signature only", good.substr(0, 8)},
        {"truncated in the header", good.substr(0, 20)},
        {"truncated in the image data", good.substr(0, idat + 8 + Be32(good, idat) / 2)},
        {"truncated before IEND", good.substr(0, iend)},
        {"huge dimensions", WithSize(100000, 100000)},
        {"over the side cap", WithSize(kMaxPngSide + 1, 1)},
        {"over the pixel cap", WithSize(kMaxPngSide, kMaxPngSide)},
        {"zero width", WithSize(0, 7)},
    };
    std::string bad = good;
    bad[1] = 'Q';
    cases.push_back({"bad signature", bad});
    bad = good;
    bad[29] ^= 0x01;
    cases.push_back({"bad IHDR CRC", bad});
    bad = good;
    bad[idat + 8 + Be32(good, idat)] ^= 0x40;
    cases.push_back({"bad IDAT CRC", bad});
    bad = good;
    bad[idat + 8] = 0x7F;  // not a zlib header
    FixCrc(bad, idat);
    cases.push_back({"damaged zlib stream", bad});
    bad = good;
    bad[24] = 3;  // bit depth 3
    FixCrc(bad, 8);
    cases.push_back({"bit depth 3", bad});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            DecodePng(c.bytes);
            ADD_FAILURE() << "decoded";
        } catch (const Error& e) {
            EXPECT_TRUE(Utf16ToUtf8(e.Message()).starts_with("PNG error: ")) << Utf16ToUtf8(e.Message());
        }
    }
}

}  // namespace
}  // namespace kadrix
