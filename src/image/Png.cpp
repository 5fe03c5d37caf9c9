#include "image/Png.h"

#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <png.h>

#include "core/Error.h"
#include "core/Utf.h"

// libpng reports errors through a callback that must not return; it longjmps
// back to the setjmp in the phase that called libpng. As with JPEG, those
// phases have only trivially destructible locals, and the pixel buffers are
// allocated by the caller between the phases.

namespace kadrix {

namespace {

// Chunks the decoder keeps in memory (text, ICC profiles) stay small.
constexpr png_alloc_size_t kMaxChunkBytes = 1 << 20;
constexpr png_uint_32 kMaxAncillaryChunks = 64;

struct Decoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const unsigned char* next = nullptr;
    std::size_t left = 0;
    char message[200] = {};
};

void OnError(png_structp png, png_const_charp message) {
    auto* d = static_cast<Decoder*>(png_get_error_ptr(png));
    std::strncpy(d->message, message ? message : "unknown error", sizeof d->message - 1);
    png_longjmp(png, 1);
}

// Damage that libpng can live with stays silent; real damage is an error.
void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep out, png_size_t length) {
    auto* d = static_cast<Decoder*>(png_get_io_ptr(png));
    if (length > d->left) png_error(png, "file truncated");
    std::memcpy(out, d->next, length);
    d->next += length;
    d->left -= length;
}

// Phase 1: header, size check, transformations to 8-bit BGRA. Returns false
// on a libpng error.
bool ReadHeader(Decoder* d, int* width, int* height) {
    if (setjmp(png_jmpbuf(d->png))) return false;
    png_set_read_fn(d->png, d, ReadBytes);
    png_set_user_limits(d->png, kMaxPngSide, kMaxPngSide);
    png_set_chunk_malloc_max(d->png, kMaxChunkBytes);
    png_set_chunk_cache_max(d->png, kMaxAncillaryChunks);
    png_read_info(d->png, d->info);

    const png_uint_32 w = png_get_image_width(d->png, d->info);
    const png_uint_32 h = png_get_image_height(d->png, d->info);
    if (w == 0 || h == 0 || w > kMaxPngSide || h > kMaxPngSide ||
        static_cast<std::int64_t>(w) * h > kMaxPngPixels)
        png_error(d->png, "image too large");

    png_set_expand(d->png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(d->png);
    png_set_gray_to_rgb(d->png);
    png_set_add_alpha(d->png, 0xFF, PNG_FILLER_AFTER);  // only where there is no alpha yet
    png_set_bgr(d->png);
    png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
    // Anything else would overrun the rows the caller allocates.
    if (png_get_rowbytes(d->png, d->info) != static_cast<png_size_t>(w) * 4 ||
        png_get_bit_depth(d->png, d->info) != 8)
        png_error(d->png, "unexpected pixel layout");
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

// Phase 2: the pixels, then the chunks after them up to IEND, so a file cut
// after its image data is still reported.
bool ReadPixels(Decoder* d, png_bytepp rows) {
    if (setjmp(png_jmpbuf(d->png))) return false;
    png_read_image(d->png, rows);
    png_read_end(d->png, nullptr);
    return true;
}

}  // namespace

Image32 DecodePng(std::string_view bytes) {
    auto d = std::make_unique<Decoder>();
    d->next = reinterpret_cast<const unsigned char*>(bytes.data());
    d->left = bytes.size();
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, d.get(), OnError, OnWarning);
    if (d->png) d->info = png_create_info_struct(d->png);
    struct Destroy {
        Decoder* d;
        ~Destroy() {
            if (d->png) png_destroy_read_struct(&d->png, d->info ? &d->info : nullptr, nullptr);
        }
    } destroy{d.get()};
    if (!d->info) throw Error(u"PNG error: out of memory");

    const auto fail = [&] { throw Error(u"PNG error: " + Utf8ToUtf16(d->message)); };
    Image32 image;
    if (!ReadHeader(d.get(), &image.Width, &image.Height)) fail();
    const std::size_t rowBytes = static_cast<std::size_t>(image.Width) * 4;
    image.Pixels.resize(rowBytes * static_cast<std::size_t>(image.Height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.Height));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = image.Pixels.data() + y * rowBytes;
    if (!ReadPixels(d.get(), rows.data())) fail();
    return image;
}

}  // namespace kadrix
