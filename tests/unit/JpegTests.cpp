#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "core/Error.h"
#include "core/Utf.h"
#include "image/Jpeg.h"
#include "support/ImagePatterns.h"

namespace kadrix {
namespace {

struct Segment {
    int marker;
    std::string body;  // without marker and length
};

// Walks the marker segments up to and including the first SOS, then skips the
// entropy-coded data to the EOI (stuffed 0xFF00 and RSTn belong to the data).
std::vector<Segment> WalkSegments(const std::string& jpeg, bool* endsWithEoi) {
    std::vector<Segment> out;
    *endsWithEoi = false;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(jpeg[i]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return out;
    out.push_back({0xD8, {}});
    std::size_t i = 2;
    while (i + 4 <= jpeg.size()) {
        if (byte(i) != 0xFF) return out;
        const int marker = byte(i + 1);
        const std::size_t length = (byte(i + 2) << 8) | byte(i + 3);
        if (length < 2 || i + 2 + length > jpeg.size()) return out;
        out.push_back({marker, jpeg.substr(i + 4, length - 2)});
        i += 2 + length;
        if (marker == 0xDA) {
            while (i + 1 < jpeg.size()) {
                if (byte(i) == 0xFF && byte(i + 1) != 0x00 && !(byte(i + 1) >= 0xD0 && byte(i + 1) <= 0xD7)) break;
                ++i;
            }
            if (i + 2 == jpeg.size() && byte(i + 1) == 0xD9) *endsWithEoi = true;
            return out;
        }
    }
    return out;
}

TEST(JpegEncode, BaselineJfifQuality100With420) {
    const Image24 image = test::PatternedImage(67, 45, 30);
    const std::string jpeg = EncodeJpeg(image);
    bool endsWithEoi = false;
    const std::vector<Segment> segments = WalkSegments(jpeg, &endsWithEoi);
    EXPECT_TRUE(endsWithEoi);
    ASSERT_GE(segments.size(), 3u);
    EXPECT_EQ(segments[0].marker, 0xD8);
    EXPECT_EQ(segments[1].marker, 0xE0);
    EXPECT_EQ(segments[1].body.substr(0, 5), std::string("JFIF\0", 5));

    int quantTables = 0, huffmanTables = 0, sofCount = 0;
    for (const Segment& s : segments) {
        EXPECT_NE(s.marker, 0xC2) << "progressive";
        EXPECT_NE(s.marker, 0xC1) << "extended sequential";
        EXPECT_NE(s.marker, 0xDD) << "restart interval";
        if (s.marker == 0xDB) {
            for (std::size_t at = 0; at < s.body.size(); at += 65) {
                ASSERT_LE(at + 65, s.body.size());
                EXPECT_EQ(s.body[at] >> 4, 0) << "8-bit table";
                for (int k = 1; k <= 64; ++k) EXPECT_EQ(s.body[at + k], 1) << "table " << (s.body[at] & 15) << " " << k;
                ++quantTables;
            }
        } else if (s.marker == 0xC4) {
            std::size_t at = 0;
            while (at + 17 <= s.body.size()) {
                int count = 0;
                for (int k = 1; k <= 16; ++k) count += static_cast<unsigned char>(s.body[at + k]);
                at += 17 + count;
                ++huffmanTables;
            }
        } else if (s.marker == 0xC0) {
            ++sofCount;
            const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s.body[i]); };
            ASSERT_EQ(s.body.size(), 6u + 3 * 3);
            EXPECT_EQ(b(0), 8);                  // precision
            EXPECT_EQ((b(1) << 8) | b(2), 45);   // height
            EXPECT_EQ((b(3) << 8) | b(4), 67);   // width
            EXPECT_EQ(b(5), 3);                  // components
            EXPECT_EQ(b(6 + 1), 0x22);           // Y 2x2
            EXPECT_EQ(b(9 + 1), 0x11);           // Cb
            EXPECT_EQ(b(12 + 1), 0x11);          // Cr
            EXPECT_EQ(b(6 + 2), 0);              // Y uses table 0
            EXPECT_EQ(b(9 + 2), 1);
            EXPECT_EQ(b(12 + 2), 1);
        }
    }
    EXPECT_EQ(quantTables, 2);
    EXPECT_EQ(huffmanTables, 4);
    EXPECT_EQ(sofCount, 1);
    EXPECT_EQ(segments.back().marker, 0xDA);
}

struct Difference {
    int max = 0;
    double mean = 0;
};

Difference Compare(const Image24& a, const Image24& b) {
    Difference d;
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width() * 3; ++x) {
            const int diff = std::abs(a.Row(y)[x] - b.Row(y)[x]);
            d.max = std::max(d.max, diff);
            sum += diff;
        }
    d.mean = sum / (3.0 * a.Width() * a.Height());
    return d;
}

TEST(JpegRoundTrip, SmoothImageComesBackClose) {
    const Image24 image = test::PatternedImage(200, 120, 0);
    const Image24 back = DecodeJpeg(EncodeJpeg(image));
    ASSERT_EQ(back.Width(), 200);
    ASSERT_EQ(back.Height(), 120);
    const Difference d = Compare(image, back);
    RecordProperty("max_diff", d.max);
    std::printf("smooth round trip: max abs diff %d, mean %.3f\n", d.max, d.mean);
    EXPECT_LE(d.max, 6);
    EXPECT_LE(d.mean, 1.0);
}

TEST(JpegRoundTrip, NoisyImageComesBackClose) {
    // Per-pixel colour noise suffers from the 2x2 chroma subsampling, so only the
    // mean is tight here.
    const Image24 image = test::PatternedImage(131, 77, 20);
    const Image24 back = DecodeJpeg(EncodeJpeg(image));
    ASSERT_EQ(back.Width(), 131);
    ASSERT_EQ(back.Height(), 77);
    const Difference d = Compare(image, back);
    std::printf("noisy round trip: max abs diff %d, mean %.3f\n", d.max, d.mean);
    EXPECT_LE(d.max, 48);
    EXPECT_LE(d.mean, 9.0);
}

TEST(JpegRoundTrip, GreyImageIsExactEnough) {
    Image24 image(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) image.Row(y)[x] = static_cast<std::uint8_t>(x / 3 * 16 + y);
    const Difference d = Compare(image, DecodeJpeg(EncodeJpeg(image)));
    EXPECT_LE(d.max, 2);
}

TEST(JpegRoundTrip, TinyAndOddSizes) {
    for (auto [w, h] : {std::pair{1, 1}, {2, 3}, {17, 1}, {1, 17}, {33, 31}}) {
        const Image24 image = test::PatternedImage(w, h, 0);
        const Image24 back = DecodeJpeg(EncodeJpeg(image));
        EXPECT_EQ(back.Width(), w);
        EXPECT_EQ(back.Height(), h);
    }
}

TEST(JpegEncode, ViewWithNegativeStride) {
    const Image24 image = test::PatternedImage(40, 24, 0);
    ConstImageView24 flipped{image.Row(23), 40, 24, -image.Stride()};
    const Image24 back = DecodeJpeg(EncodeJpeg(flipped));
    // The top row of the decoded picture is the bottom row of the source.
    for (int x = 0; x < 120; ++x) EXPECT_LE(std::abs(back.Row(0)[x] - image.Row(23)[x]), 8) << x;
}

TEST(JpegEncode, TooWideForJpegIsAJpegError) {
    Image24 image(65535, 1);
    try {
        EncodeJpeg(image);
        FAIL() << "encoded";
    } catch (const Error& e) {
        EXPECT_EQ(Utf16ToUtf8(e.Message()), "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG));
    }
}

// ---- other JPEGs, written with libjpeg directly ---------------------------

std::string CompressWithLibjpeg(int width, int height, int components, J_COLOR_SPACE space,
                                const std::vector<unsigned char>& pixels, bool progressive) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[cinfo.next_scanline * width * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

TEST(JpegDecode, GreyscaleComesOutAsBgr) {
    std::vector<unsigned char> grey(24 * 8);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<unsigned char>(i % 24 * 10);
    const Image24 image = DecodeJpeg(CompressWithLibjpeg(24, 8, 1, JCS_GRAYSCALE, grey, false));
    ASSERT_EQ(image.Width(), 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 24; ++x) {
            const std::uint8_t* p = image.Row(y) + 3 * x;
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            EXPECT_LE(std::abs(p[0] - x * 10), 6) << x;
        }
}

TEST(JpegDecode, AdobeCmykComesOutAsBgr) {
    // Inverted CMYK as Adobe writes it: with K = 255 (no black) C, M, Y hold R, G, B.
    std::vector<unsigned char> cmyk;
    for (int i = 0; i < 16 * 16; ++i) cmyk.insert(cmyk.end(), {200, 100, 50, 255});
    const Image24 image = DecodeJpeg(CompressWithLibjpeg(16, 16, 4, JCS_CMYK, cmyk, false));
    const std::uint8_t* p = image.Row(8) + 3 * 8;
    EXPECT_NEAR(p[2], 200, 3);
    EXPECT_NEAR(p[1], 100, 3);
    EXPECT_NEAR(p[0], 50, 3);
}

TEST(JpegDecode, Progressive) {
    const Image24 source = test::PatternedImage(50, 30, 0);
    std::vector<unsigned char> rgb;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x) {
            const std::uint8_t* p = source.Row(y) + 3 * x;
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    const Image24 image = DecodeJpeg(CompressWithLibjpeg(50, 30, 3, JCS_RGB, rgb, true));
    EXPECT_LE(Compare(source, image).mean, 2.0);
}

// ---- broken input ----------------------------------------------------------

std::string JpegError(int code) { return "JPEG error #" + std::to_string(code); }

// Returns the error text, or "decoded WxH".
std::string DecodeOutcome(const std::string& bytes) {
    try {
        const Image24 image = DecodeJpeg(bytes);
        return "decoded " + std::to_string(image.Width()) + "x" + std::to_string(image.Height());
    } catch (const Error& e) {
        return Utf16ToUtf8(e.Message());
    }
}

bool IsJpegError(const std::string& message) {
    const std::string prefix = "JPEG error #";
    if (message.size() <= prefix.size() || message.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < message.size(); ++i)
        if (message[i] < '0' || message[i] > '9') return false;
    return true;
}

std::string ValidJpeg() { return EncodeJpeg(test::PatternedImage(64, 48, 10)); }

std::size_t FindMarker(const std::string& jpeg, int marker) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && static_cast<unsigned char>(jpeg[i + 1]) == marker) return i;
    return std::string::npos;
}

std::string WithSofSize(int width, int height) {
    std::string jpeg = ValidJpeg();
    const std::size_t sof = FindMarker(jpeg, 0xC0);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

TEST(JpegDecode, EmptyInput) { EXPECT_EQ(DecodeOutcome(""), JpegError(JWRN_JPEG_EOF)); }

TEST(JpegDecode, RandomBytes) {
    std::uint32_t state = 99;
    std::string bytes(1000, '\0');
    for (char& c : bytes) c = static_cast<char>(test::NextNoise(state));
    EXPECT_EQ(DecodeOutcome(bytes), JpegError(JERR_NO_SOI));
}

TEST(JpegDecode, HeaderOnly) {
    const std::string jpeg = ValidJpeg();
    EXPECT_EQ(DecodeOutcome(jpeg.substr(0, FindMarker(jpeg, 0xDA))), JpegError(JWRN_JPEG_EOF));
    EXPECT_EQ(DecodeOutcome(jpeg.substr(0, 2)), JpegError(JWRN_JPEG_EOF));
}

TEST(JpegDecode, HeaderWithoutScanButWithEnd) {
    const std::string jpeg = ValidJpeg();
    EXPECT_EQ(DecodeOutcome(jpeg.substr(0, FindMarker(jpeg, 0xDA)) + "\xFF\xD9"), JpegError(JERR_SOF_NO_SOS));
}

TEST(JpegDecode, SofWithZeroSize) {
    EXPECT_EQ(DecodeOutcome(WithSofSize(0, 48)), JpegError(JERR_EMPTY_IMAGE));
    EXPECT_EQ(DecodeOutcome(WithSofSize(64, 0)), JpegError(JERR_EMPTY_IMAGE));
}

TEST(JpegDecode, SizeOverCapIsRejectedBeforeDecoding) {
    EXPECT_EQ(DecodeOutcome(WithSofSize(65500, 65500)), JpegError(JERR_IMAGE_TOO_BIG));
    EXPECT_EQ(DecodeOutcome(WithSofSize(30000, 30000)), JpegError(JERR_IMAGE_TOO_BIG));
}

TEST(JpegDecode, BigClaimTinyDataFailsFast) {
    // 16000 x 16000 is inside the cap, but the data ends after a few blocks.
    EXPECT_TRUE(IsJpegError(DecodeOutcome(WithSofSize(16000, 16000))));
}

TEST(JpegDecode, TooLittleDataForTheClaimedSizeIsRejectedBeforeDecoding) {
    // Found by fuzzing: 763 bytes, arithmetic-coded, claiming 65287 x 2298.
    // The arithmetic decoder pads the missing data with zeros without a
    // warning, so all 150 megapixels were decoded (seconds of work). Less than
    // a bit per 8x8 block cannot be a whole picture.
    std::string jpeg = ValidJpeg();
    const std::size_t sof = FindMarker(jpeg, 0xC0);
    jpeg[sof + 1] = static_cast<char>(0xC9);  // SOF9: sequential, arithmetic coding
    jpeg[sof + 5] = static_cast<char>(2298 >> 8);
    jpeg[sof + 6] = static_cast<char>(2298 & 0xFF);
    jpeg[sof + 7] = static_cast<char>(65287 >> 8);
    jpeg[sof + 8] = static_cast<char>(65287 & 0xFF);
    EXPECT_EQ(DecodeOutcome(jpeg), JpegError(JWRN_JPEG_EOF));
    // A big flat picture, as small as a JPEG of that size gets, still decodes.
    const Image24 flat(4000, 3000);
    EXPECT_EQ(DecodeOutcome(EncodeJpeg(flat.View())), "decoded 4000x3000");
}

TEST(JpegDecode, TruncatedInTheMiddleIsAnError) {
    const std::string jpeg = ValidJpeg();
    const std::size_t scan = FindMarker(jpeg, 0xDA);
    for (std::size_t n : {scan + 20, (scan + jpeg.size()) / 2, jpeg.size() - 10, jpeg.size() - 2}) {
        const std::string outcome = DecodeOutcome(jpeg.substr(0, n));
        EXPECT_TRUE(outcome == JpegError(JWRN_JPEG_EOF) || outcome == JpegError(JWRN_HIT_MARKER))
            << n << ": " << outcome;
    }
}

TEST(JpegDecode, MissingEoiIsAnError) {
    // A file must end with its EOI marker: a cut-off file is not accepted even
    // when the cut falls right at the end.
    const std::string jpeg = ValidJpeg();
    EXPECT_EQ(DecodeOutcome(jpeg.substr(0, jpeg.size() - 2)), JpegError(JWRN_JPEG_EOF));
}

TEST(JpegDecode, EveryPrefixFailsCleanly) {
    const std::string jpeg = EncodeJpeg(test::PatternedImage(20, 12, 10));
    for (std::size_t n = 0; n + 2 < jpeg.size(); ++n) {
        const std::string outcome = DecodeOutcome(jpeg.substr(0, n));
        ASSERT_TRUE(IsJpegError(outcome)) << n << ": " << outcome;
    }
}

TEST(JpegDecode, CorruptedBytesNeverCrash) {
    const std::string jpeg = ValidJpeg();
    std::uint32_t state = 7;
    for (int round = 0; round < 300; ++round) {
        std::string bad = jpeg;
        for (int k = 0; k < 4; ++k) bad[test::NextNoise(state) % bad.size()] = static_cast<char>(test::NextNoise(state));
        const std::string outcome = DecodeOutcome(bad);
        EXPECT_TRUE(outcome.rfind("decoded ", 0) == 0 || IsJpegError(outcome)) << outcome;
    }
}

}  // namespace
}  // namespace kadrix
