#include "image/Bmp.h"

#include <cstdint>
#include <cstring>

#include "core/Error.h"

namespace kadrix {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

[[noreturn]] void Invalid() { throw Error(u"Bitmap image is not valid"); }

void Put16(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(char* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

std::uint32_t Get16(const unsigned char* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t Get32(const unsigned char* p) { return Get16(p) | (Get16(p + 2) << 16); }

struct Bgr {
    std::uint8_t b, g, r;
};

}  // namespace

std::string EncodeBmp(ConstImageView24 image) {
    CheckImageView(image);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    const std::size_t paddedRow = static_cast<std::size_t>(Stride24(image.width));
    // At most 2^28 pixels * 3 bytes plus padding: fits the 32-bit size fields.
    const std::size_t imageBytes = paddedRow * static_cast<std::size_t>(image.height);
    const std::size_t headers = kFileHeaderSize + kInfoHeaderSize;

    std::string out(headers + imageBytes, '\0');
    char* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, static_cast<std::uint32_t>(out.size()));
    Put32(h + 10, static_cast<std::uint32_t>(headers));
    char* info = h + kFileHeaderSize;
    Put32(info + 0, kInfoHeaderSize);
    Put32(info + 4, static_cast<std::uint32_t>(image.width));
    Put32(info + 8, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
    Put16(info + 12, 1);
    Put16(info + 14, 24);
    Put32(info + 16, kBiRgb);
    Put32(info + 20, static_cast<std::uint32_t>(imageBytes));
    // Resolution (24, 28), colours used (32) and important (36) stay 0.

    char* dst = h + headers;
    for (int y = image.height - 1; y >= 0; --y) {
        std::memcpy(dst, image.Row(y), rowBytes);  // the padding is already zero
        dst += paddedRow;
    }
    return out;
}

Image24 DecodeBmp(std::string_view bytes) {
    const auto* file = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();
    if (size < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') Invalid();
    const std::uint32_t pixelOffset = Get32(file + 10);
    const std::uint32_t headerSize = Get32(file + 14);
    const bool core = headerSize == kCoreHeaderSize;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        Invalid();
    if (size < kFileHeaderSize + headerSize) Invalid();
    const unsigned char* info = file + kFileHeaderSize;

    std::int64_t width, height;
    std::uint32_t planes, bpp, compression = kBiRgb, colorsUsed = 0;
    bool topDown = false;
    if (core) {
        width = Get16(info + 4);
        height = Get16(info + 6);
        planes = Get16(info + 8);
        bpp = Get16(info + 10);
    } else {
        width = static_cast<std::int32_t>(Get32(info + 4));
        height = static_cast<std::int32_t>(Get32(info + 8));
        planes = Get16(info + 12);
        bpp = Get16(info + 14);
        compression = Get32(info + 16);
        colorsUsed = Get32(info + 32);
        if (height < 0) {
            topDown = true;
            height = -height;
        }
    }
    if (!IsImageSizeAllowed(width, height) || planes != 1) Invalid();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && (bpp != 32 || core)) Invalid();

    std::uint32_t headersEnd = kFileHeaderSize + headerSize;
    if (compression == kBiBitfields) {
        if (bpp != 32) Invalid();
        // A 40-byte header keeps its three masks after it; the later ones inside.
        if (headerSize == kInfoHeaderSize) {
            headersEnd += 12;
            if (size < headersEnd) Invalid();
        }
        const unsigned char* masks = info + kInfoHeaderSize;
        if (Get32(masks) != 0x00FF0000 || Get32(masks + 4) != 0x0000FF00 || Get32(masks + 8) != 0x000000FF) Invalid();
    } else if (compression != kBiRgb) {
        Invalid();
    }

    Bgr palette[256] = {};
    std::uint32_t paletteSize = 0;
    if (bpp <= 8) {
        const std::uint32_t maxColors = 1u << bpp;
        paletteSize = colorsUsed == 0 ? maxColors : colorsUsed;
        if (paletteSize > maxColors) Invalid();
        const std::uint32_t entrySize = core ? 3 : 4;
        if (size - headersEnd < std::size_t{paletteSize} * entrySize) Invalid();
        for (std::uint32_t i = 0; i < paletteSize; ++i) {
            const unsigned char* e = file + headersEnd + i * entrySize;
            palette[i] = {e[0], e[1], e[2]};
        }
        headersEnd += paletteSize * entrySize;
    }

    // Check that the rows are all there before anything is allocated. The last
    // row may lack its padding: some writers leave it out.
    if (pixelOffset < headersEnd || pixelOffset > size) Invalid();
    const std::uint64_t rowBits = static_cast<std::uint64_t>(width) * bpp;
    const std::uint64_t rowStride = (rowBits + 31) / 32 * 4;
    const std::uint64_t rowUsed = (rowBits + 7) / 8;
    if ((static_cast<std::uint64_t>(height) - 1) * rowStride + rowUsed > size - pixelOffset) Invalid();

    Image24 image(static_cast<int>(width), static_cast<int>(height));
    const int w = image.Width();
    const int h = image.Height();
    for (int r = 0; r < h; ++r) {
        const unsigned char* src = file + pixelOffset + static_cast<std::uint64_t>(r) * rowStride;
        std::uint8_t* dst = image.Row(topDown ? r : h - 1 - r);
        switch (bpp) {
        case 24:
            std::memcpy(dst, src, static_cast<std::size_t>(w) * 3);
            break;
        case 32:
            for (int x = 0; x < w; ++x, src += 4, dst += 3) {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
            }
            break;
        default: {
            const int perByte = 8 / static_cast<int>(bpp);
            const unsigned mask = (1u << bpp) - 1;
            for (int x = 0; x < w; ++x, dst += 3) {
                const int shift = 8 - static_cast<int>(bpp) * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & mask;
                if (index >= paletteSize) Invalid();
                dst[0] = palette[index].b;
                dst[1] = palette[index].g;
                dst[2] = palette[index].r;
            }
            break;
        }
        }
    }
    return image;
}

}  // namespace kadrix
