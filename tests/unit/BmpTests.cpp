#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/Error.h"
#include "image/Bmp.h"
#include "support/ImagePatterns.h"
#include "core/Utf.h"

namespace kadrix {
namespace {

std::uint32_t U16(const std::string& s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t U32(const std::string& s, std::size_t at) { return U16(s, at) | (U16(s, at + 2) << 16); }
void Put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

bool SamePixels(const Image24& a, const Image24& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), static_cast<std::size_t>(a.Width()) * 3) != 0) return false;
    return true;
}

// ---- Image24 -------------------------------------------------------------

TEST(Image24, StrideIsPaddedToFourBytes) {
    EXPECT_EQ(Stride24(1), 4);
    EXPECT_EQ(Stride24(3), 12);
    EXPECT_EQ(Stride24(4), 12);
    EXPECT_EQ(Stride24(5), 16);
    EXPECT_EQ(Stride24(65535), 196608);
    Image24 image(5, 2);
    EXPECT_EQ(image.Stride(), 16);
    EXPECT_EQ(image.SizeBytes(), 32u);
    EXPECT_EQ(image.Row(1) - image.Row(0), 16);
}

TEST(Image24, SizeCap) {
    EXPECT_TRUE(IsImageSizeAllowed(1, 1));
    EXPECT_TRUE(IsImageSizeAllowed(65535, 4096));
    EXPECT_TRUE(IsImageSizeAllowed(16384, 16384));
    EXPECT_FALSE(IsImageSizeAllowed(65535, 4097));
    EXPECT_FALSE(IsImageSizeAllowed(0, 1));
    EXPECT_FALSE(IsImageSizeAllowed(1, 0));
    EXPECT_FALSE(IsImageSizeAllowed(65536, 1));
    EXPECT_FALSE(IsImageSizeAllowed(1, 65536));
    EXPECT_FALSE(IsImageSizeAllowed(-1, 5));
    EXPECT_THROW(Image24(0, 5), Error);
    EXPECT_THROW(Image24(65536, 1), Error);
    EXPECT_THROW(Image24(20000, 20000), Error);
    EXPECT_THROW(Image24(-3, -3), Error);
    EXPECT_NO_THROW(Image24(65535, 1));
}

TEST(Image24, StartsZeroedAndCopies) {
    Image24 image(3, 3);
    for (std::size_t i = 0; i < image.SizeBytes(); ++i) ASSERT_EQ(image.Data()[i], 0);
    image.Row(2)[8] = 77;
    Image24 copy = image;
    EXPECT_EQ(copy.Row(2)[8], 77);
    EXPECT_NE(copy.Data(), image.Data());
    Image24 moved = std::move(copy);
    EXPECT_EQ(moved.Row(2)[8], 77);
}

// ---- encoding --------------------------------------------------------------

TEST(BmpEncode, OnePixelFileByteForByte) {
    Image24 image(1, 1);
    image.Row(0)[0] = 0x11;  // B
    image.Row(0)[1] = 0x22;  // G
    image.Row(0)[2] = 0x33;  // R
    const unsigned char expected[] = {
        'B', 'M', 58, 0, 0, 0,  // file size 54 + 4
        0, 0, 0, 0,             // reserved
        54, 0, 0, 0,            // pixel offset
        40, 0, 0, 0,            // BITMAPINFOHEADER
        1, 0, 0, 0,             // width
        1, 0, 0, 0,             // height, positive: bottom-up
        1, 0,                   // planes
        24, 0,                  // bits per pixel
        0, 0, 0, 0,             // BI_RGB
        4, 0, 0, 0,             // image size: one padded row
        0, 0, 0, 0, 0, 0, 0, 0, // resolution unspecified
        0, 0, 0, 0, 0, 0, 0, 0, // colours used, important
        0x11, 0x22, 0x33, 0,    // the pixel and one padding byte
    };
    const std::string bytes = EncodeBmp(image);
    ASSERT_EQ(bytes.size(), sizeof expected);
    EXPECT_EQ(0, std::memcmp(bytes.data(), expected, sizeof expected));
}

void CheckEncoded(const Image24& image) {
    const std::string bytes = EncodeBmp(image);
    const std::size_t stride = (static_cast<std::size_t>(image.Width()) * 3 + 3) / 4 * 4;
    ASSERT_EQ(bytes.size(), 54 + stride * image.Height());
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(U32(bytes, 2), bytes.size());
    EXPECT_EQ(U32(bytes, 6), 0u);
    EXPECT_EQ(U32(bytes, 10), 54u);
    EXPECT_EQ(U32(bytes, 14), 40u);
    EXPECT_EQ(U32(bytes, 18), static_cast<std::uint32_t>(image.Width()));
    EXPECT_EQ(U32(bytes, 22), static_cast<std::uint32_t>(image.Height()));
    EXPECT_EQ(U16(bytes, 26), 1u);
    EXPECT_EQ(U16(bytes, 28), 24u);
    EXPECT_EQ(U32(bytes, 30), 0u);
    EXPECT_EQ(U32(bytes, 34), stride * image.Height());
    for (std::size_t at = 38; at < 54; at += 4) EXPECT_EQ(U32(bytes, at), 0u) << at;
    for (int y = 0; y < image.Height(); ++y) {
        // File row 0 is the bottom image row.
        const std::size_t row = 54 + stride * static_cast<std::size_t>(image.Height() - 1 - y);
        for (int x = 0; x < image.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(static_cast<unsigned char>(bytes[row + 3 * x + c]), image.Row(y)[3 * x + c])
                    << x << "," << y << "," << c;
        for (std::size_t pad = image.Width() * 3; pad < stride; ++pad) ASSERT_EQ(bytes[row + pad], 0) << pad;
    }
}

Image24 Numbered(int w, int h) {
    Image24 image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x) image.Row(y)[x] = static_cast<std::uint8_t>(1 + y * 3 * w + x);
    return image;
}

TEST(BmpEncode, ThreeByTwo) {
    const Image24 image = Numbered(3, 2);
    CheckEncoded(image);
    const std::string bytes = EncodeBmp(image);
    // Bottom row (y = 1: values 10..18) comes first, then 3 padding bytes.
    EXPECT_EQ(static_cast<unsigned char>(bytes[54]), 10);
    EXPECT_EQ(static_cast<unsigned char>(bytes[62]), 18);
    EXPECT_EQ(bytes.substr(63, 3), std::string(3, '\0'));
    EXPECT_EQ(static_cast<unsigned char>(bytes[66]), 1);
    EXPECT_EQ(bytes.substr(75, 3), std::string(3, '\0'));
}

TEST(BmpEncode, FiveByFive) { CheckEncoded(Numbered(5, 5)); }
TEST(BmpEncode, Patterned) { CheckEncoded(test::PatternedImage(33, 17, 50)); }

TEST(BmpEncode, ViewWithNegativeStride) {
    const Image24 image = Numbered(3, 2);
    ConstImageView24 flipped{image.Row(1), 3, 2, -image.Stride()};
    const Image24 decoded = DecodeBmp(EncodeBmp(flipped));
    EXPECT_EQ(0, std::memcmp(decoded.Row(0), image.Row(1), 9));
    EXPECT_EQ(0, std::memcmp(decoded.Row(1), image.Row(0), 9));
}

TEST(BmpRoundTrip, SameImageBack) {
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {5, 5}, {4, 7}, {101, 33}}) {
        const Image24 image = test::PatternedImage(w, h, 60);
        const Image24 back = DecodeBmp(EncodeBmp(image));
        EXPECT_TRUE(SamePixels(image, back)) << w << "x" << h;
    }
}

// ---- decoding other bitmaps ------------------------------------------------

// A bitmap file built by hand: header size, bpp, palette entries and rows in file order.
std::string MakeBmp(int width, int height, int bpp, const std::vector<std::uint32_t>& palette,
                    const std::vector<std::string>& fileRows, std::uint32_t compression = 0,
                    std::uint32_t headerSize = 40, const std::string& extra = {}) {
    std::string s(14 + headerSize, '\0');
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 14, headerSize);
    Put32(s, 18, static_cast<std::uint32_t>(width));
    Put32(s, 22, static_cast<std::uint32_t>(height));
    Put16(s, 26, 1);
    Put16(s, 28, static_cast<std::uint32_t>(bpp));
    Put32(s, 30, compression);
    Put32(s, 46, static_cast<std::uint32_t>(palette.size()));
    s += extra;
    for (std::uint32_t c : palette) {
        std::string e(4, '\0');
        Put32(e, 0, c);
        s += e;
    }
    Put32(s, 10, static_cast<std::uint32_t>(s.size()));
    for (const std::string& row : fileRows) s += row;
    Put32(s, 2, static_cast<std::uint32_t>(s.size()));
    return s;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

void ExpectPixel(const Image24& image, int x, int y, std::uint32_t rgb) {
    const std::uint8_t* p = image.Row(y) + 3 * x;
    EXPECT_EQ((p[2] << 16) | (p[1] << 8) | p[0], rgb) << x << "," << y;
}

TEST(BmpDecode, OneBitPalette) {
    // 10 x 2, bottom-up; palette 0 black, 1 orange.
    const std::string bmp =
        MakeBmp(10, 2, 1, {0x000000, 0xFF8000}, {Bytes({0b10000000, 0b01000000, 0, 0}), Bytes({0xFF, 0xC0, 0, 0})});
    const Image24 image = DecodeBmp(bmp);
    ASSERT_EQ(image.Width(), 10);
    ASSERT_EQ(image.Height(), 2);
    for (int x = 0; x < 10; ++x) ExpectPixel(image, x, 0, 0xFF8000);
    ExpectPixel(image, 0, 1, 0xFF8000);
    for (int x = 1; x < 9; ++x) ExpectPixel(image, x, 1, 0);
    ExpectPixel(image, 9, 1, 0xFF8000);
}

TEST(BmpDecode, FourBitPalette) {
    const std::string bmp = MakeBmp(3, 1, 4, {0x010203, 0x040506, 0x070809}, {Bytes({0x21, 0x00, 0, 0})});
    const Image24 image = DecodeBmp(bmp);
    ExpectPixel(image, 0, 0, 0x070809);
    ExpectPixel(image, 1, 0, 0x040506);
    ExpectPixel(image, 2, 0, 0x010203);
}

TEST(BmpDecode, EightBitPaletteTopDown) {
    std::vector<std::uint32_t> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = static_cast<std::uint32_t>(i * 0x010101);
    const std::string bmp = MakeBmp(2, -2, 8, palette, {Bytes({5, 6, 0, 0}), Bytes({7, 255, 0, 0})});
    const Image24 image = DecodeBmp(bmp);
    ExpectPixel(image, 0, 0, 0x050505);
    ExpectPixel(image, 1, 0, 0x060606);
    ExpectPixel(image, 0, 1, 0x070707);
    ExpectPixel(image, 1, 1, 0xFFFFFF);
}

TEST(BmpDecode, EightBitFullPaletteWhenCountIsZero) {
    std::string bmp = MakeBmp(1, 1, 8, std::vector<std::uint32_t>(256, 0x123456), {Bytes({200, 0, 0, 0})});
    Put32(bmp, 46, 0);
    ExpectPixel(DecodeBmp(bmp), 0, 0, 0x123456);
}

TEST(BmpDecode, ThirtyTwoBit) {
    const std::string bmp = MakeBmp(2, 1, 32, {}, {Bytes({1, 2, 3, 99, 4, 5, 6, 0})});
    const Image24 image = DecodeBmp(bmp);
    ExpectPixel(image, 0, 0, 0x030201);
    ExpectPixel(image, 1, 0, 0x060504);
}

TEST(BmpDecode, ThirtyTwoBitBitfields) {
    std::string masks(12, '\0');
    Put32(masks, 0, 0x00FF0000);
    Put32(masks, 4, 0x0000FF00);
    Put32(masks, 8, 0x000000FF);
    const std::string bmp = MakeBmp(1, 1, 32, {}, {Bytes({1, 2, 3, 0})}, 3, 40, masks);
    ExpectPixel(DecodeBmp(bmp), 0, 0, 0x030201);

    std::string v5 = MakeBmp(1, 1, 32, {}, {Bytes({1, 2, 3, 0})}, 3, 124);
    Put32(v5, 54, 0x00FF0000);
    Put32(v5, 58, 0x0000FF00);
    Put32(v5, 62, 0x000000FF);
    Put32(v5, 66, 0xFF000000);
    ExpectPixel(DecodeBmp(v5), 0, 0, 0x030201);
}

TEST(BmpDecode, LargerInfoHeaders) {
    for (std::uint32_t size : {52u, 56u, 108u, 124u}) {
        const std::string bmp = MakeBmp(1, 1, 24, {}, {Bytes({1, 2, 3, 0})}, 0, size);
        ExpectPixel(DecodeBmp(bmp), 0, 0, 0x030201);
    }
}

TEST(BmpDecode, Os2CoreHeader) {
    // 12-byte header, 3-byte palette entries, 1 bpp.
    std::string s = Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,  // offset 14 + 12 + 6
                           12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 1, 0,             // 2 x 1, 1 plane, 1 bpp
                           0x10, 0x20, 0x30, 0x40, 0x50, 0x60,              // palette B,G,R
                           0b01000000, 0, 0, 0});
    const Image24 image = DecodeBmp(s);
    ExpectPixel(image, 0, 0, 0x302010);
    ExpectPixel(image, 1, 0, 0x605040);
}

TEST(BmpDecode, LastRowWithoutPaddingIsAccepted) {
    std::string bmp = EncodeBmp(Numbered(3, 2));
    bmp.resize(bmp.size() - 3);
    EXPECT_TRUE(SamePixels(DecodeBmp(bmp), Numbered(3, 2)));
}

// ---- broken input ----------------------------------------------------------

struct BrokenBmp {
    const char* name;
    std::function<std::string()> make;
};

std::string Valid() { return EncodeBmp(test::PatternedImage(4, 3, 10)); }

std::string With32(std::size_t at, std::uint32_t v, std::string s = Valid()) {
    Put32(s, at, v);
    return s;
}
std::string With16(std::size_t at, std::uint32_t v, std::string s = Valid()) {
    Put16(s, at, v);
    return s;
}

const BrokenBmp kBroken[] = {
    {"empty", [] { return std::string(); }},
    {"only magic", [] { return std::string("BM"); }},
    {"truncated file header", [] { return Valid().substr(0, 12); }},
    {"truncated info header", [] { return Valid().substr(0, 30); }},
    {"bad magic", [] { std::string s = Valid(); s[1] = 'X'; return s; }},
    {"not a bitmap at all", [] { return std::string("GIF89a this is something else entirely......................"); }},
    {"header size 0", [] { return With32(14, 0); }},
    {"header size 64", [] { return With32(14, 64); }},
    {"header size huge", [] { return With32(14, 0xFFFFFFF0); }},
    {"width 0", [] { return With32(18, 0); }},
    {"width negative", [] { return With32(18, static_cast<std::uint32_t>(-4)); }},
    {"width negative huge", [] { return With32(18, 0x80000000); }},
    {"width 65536", [] { return With32(18, 65536); }},
    {"height 0", [] { return With32(22, 0); }},
    {"height most negative", [] { return With32(22, 0x80000000); }},
    {"height 70000", [] { return With32(22, 70000); }},
    {"pixel count over cap", [] { return With32(22, 20000, With32(18, 20000)); }},
    {"giant dimensions tiny file", [] { return With32(22, 4000, With32(18, 60000)); }},
    {"giant top-down tiny file", [] { return With32(22, static_cast<std::uint32_t>(-4000), With32(18, 60000)); }},
    {"height larger than data", [] { return With32(22, 4); }},
    {"planes 0", [] { return With16(26, 0); }},
    {"planes 2", [] { return With16(26, 2); }},
    {"bpp 0", [] { return With16(28, 0); }},
    {"bpp 16", [] { return With16(28, 16); }},
    {"bpp 2", [] { return With16(28, 2); }},
    {"bpp 48", [] { return With16(28, 48); }},
    {"compression RLE8", [] { return With32(30, 1); }},
    {"compression JPEG", [] { return With32(30, 4); }},
    {"bitfields on 24 bpp", [] { return With32(30, 3); }},
    {"offset past end", [] { return With32(10, 100000); }},
    {"offset 0xFFFFFFFF", [] { return With32(10, 0xFFFFFFFF); }},
    {"offset inside header", [] { return With32(10, 20); }},
    {"pixel data truncated", [] { std::string s = Valid(); s.resize(s.size() - 13); return s; }},
    {"pixel data missing", [] { return Valid().substr(0, 54); }},
    {"palette index past palette size",
     [] { return MakeBmp(2, 1, 8, {0x000000, 0xFFFFFF}, {Bytes({1, 5, 0, 0})}); }},
    {"4-bit index past palette size", [] { return MakeBmp(2, 1, 4, {0, 0, 0}, {Bytes({0x23, 0, 0, 0})}); }},
    {"palette count over 2^bpp", [] { return With32(46, 3, MakeBmp(1, 1, 1, {0, 0}, {Bytes({0, 0, 0, 0})})); }},
    {"palette count huge", [] { return With32(46, 0xFFFFFFFF, MakeBmp(1, 1, 8, {0, 0}, {Bytes({0, 0, 0, 0})})); }},
    {"palette truncated", [] { return MakeBmp(1, 1, 8, {0, 0}, {}).substr(0, 58); }},
    {"bitfields odd masks", [] {
         std::string masks(12, '\0');
         Put32(masks, 0, 0xF800);
         Put32(masks, 4, 0x07E0);
         Put32(masks, 8, 0x001F);
         return MakeBmp(1, 1, 32, {}, {Bytes({1, 2, 3, 0})}, 3, 40, masks);
     }},
    {"bitfields masks missing", [] { return MakeBmp(1, 1, 32, {}, {}, 3, 40).substr(0, 56); }},
    {"core header with 32 bpp", [] {
         return Bytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 32, 0, 1, 2, 3, 4});
     }},
};

TEST(BmpDecode, BrokenInputIsNotValid) {
    for (const BrokenBmp& c : kBroken) {
        SCOPED_TRACE(c.name);
        const std::string bytes = c.make();
        try {
            DecodeBmp(bytes);
            ADD_FAILURE() << "decoded";
        } catch (const Error& e) {
            EXPECT_EQ(Utf16ToUtf8(e.Message()), "Bitmap image is not valid");
        }
    }
}

TEST(BmpDecode, EveryTruncationIsNotValid) {
    const std::string full = EncodeBmp(Numbered(5, 3));
    for (std::size_t n = 0; n + 3 < full.size(); ++n) {  // the last 3 bytes are padding
        try {
            DecodeBmp(full.substr(0, n));
            ADD_FAILURE() << "decoded " << n << " bytes";
        } catch (const Error& e) {
            EXPECT_EQ(Utf16ToUtf8(e.Message()), "Bitmap image is not valid");
        }
    }
}

}  // namespace
}  // namespace kadrix
