#include "image/Jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <memory>
#include <new>
#include <string>
#include <utility>

#include <jerror.h>
#include <jpeglib.h>

#include "core/Error.h"
#include "core/Utf.h"

// libjpeg reports errors through a callback that must not return. It longjmps
// back here; no C++ exception ever crosses libjpeg's C frames. Everything that
// runs between setjmp and a possible longjmp lives in functions whose locals
// are trivially destructible; the std::string and the Image24 belong to callers
// above the setjmp and are reached by pointer.

namespace kadrix {

namespace {

// Hostile progressive files can make libjpeg keep whole-image coefficient
// arrays; 512 MiB covers a progressive 4:4:4 picture of about 89 megapixels.
constexpr long kMaxJpegMemory = 512L * 1024 * 1024;
// A progressive file can repeat cheap scans that each walk the whole image.
constexpr int kMaxScans = 1000;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void IgnoreOutput(j_common_ptr) {}

// Warnings (level -1) mean damaged data that libjpeg would paper over with grey;
// only the harmless ones pass. Trace messages (level >= 0) are ignored.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    switch (cinfo->err->msg_code) {
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_EXTRANEOUS_DATA:
        cinfo->err->num_warnings++;
        return;
    default:
        ErrorExit(cinfo);
    }
}

void InstallErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = IgnoreOutput;
}

[[noreturn]] void ThrowJpegError(int code) {
    throw Error(FormatText(u"JPEG error #%s", {AsciiToUtf16(std::to_string(code))}));
}

// ---- compression --------------------------------------------------------

struct StringDestination {
    jpeg_destination_mgr pub;
    std::string* out;
};

// Grows the string; allocation failure becomes a libjpeg error after the catch
// block has been left, so the longjmp never leaves a handler.
bool GrowString(std::string& s, std::size_t newSize) noexcept {
    try {
        s.resize(newSize);
        return true;
    } catch (...) {
        return false;
    }
}

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<StringDestination*>(cinfo->dest);
    // Quality 100 of a screen image is often about a byte or two a pixel.
    const std::size_t guess = static_cast<std::size_t>(cinfo->image_width) * cinfo->image_height + 65536;
    if (!GrowString(*dest->out, guess)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->pub.next_output_byte = reinterpret_cast<JOCTET*>(dest->out->data());
    dest->pub.free_in_buffer = dest->out->size();
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<StringDestination*>(cinfo->dest);
    const std::size_t used = dest->out->size();
    if (!GrowString(*dest->out, used * 2)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->pub.next_output_byte = reinterpret_cast<JOCTET*>(dest->out->data()) + used;
    dest->pub.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<StringDestination*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);  // shrinking never throws
}

// Returns 0 or the libjpeg message number of the failure.
int CompressInto(ConstImageView24 image, std::string* out) {
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    StringDestination dest{};
    InstallErrorManager(err);
    cinfo.err = &err.pub;
    if (setjmp(err.jump)) {
        const int code = err.pub.msg_code;
        jpeg_destroy_compress(&cinfo);
        return code == 0 ? -1 : code;
    }
    jpeg_create_compress(&cinfo);
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;
    dest.out = out;
    cinfo.dest = &dest.pub;

    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
#ifdef JCS_EXTENSIONS
    cinfo.in_color_space = JCS_EXT_BGR;
#else
    cinfo.in_color_space = JCS_RGB;
#endif
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

#ifdef JCS_EXTENSIONS
    // Rows go to libjpeg straight from the image; it only reads them.
    constexpr int kBatch = 16;
    JSAMPROW rows[kBatch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = static_cast<int>(cinfo.next_scanline);
        int n = 0;
        for (; n < kBatch && first + n < image.height; ++n)
            rows[n] = const_cast<JSAMPROW>(image.Row(first + n));
        jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
#else
    JSAMPARRAY rgb = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.image_width * 3, 1);
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* src = image.Row(static_cast<int>(cinfo.next_scanline));
        for (int x = 0; x < image.width; ++x) {
            rgb[0][3 * x] = src[3 * x + 2];
            rgb[0][3 * x + 1] = src[3 * x + 1];
            rgb[0][3 * x + 2] = src[3 * x];
        }
        jpeg_write_scanlines(&cinfo, rgb, 1);
    }
#endif
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

// ---- decompression ------------------------------------------------------

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

// All the data was handed over at once: asking for more means the file ended
// early. Insert an EOI as libjpeg's own sources do; the warning turns it into
// an error (EmitMessage) so the result is never a grey-padded picture.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kFakeEoi;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
        FillInputBuffer(cinfo);  // the skip runs past the end
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void LimitScans(j_common_ptr common) {
    auto cinfo = reinterpret_cast<j_decompress_ptr>(common);
    if (cinfo->input_scan_number > kMaxScans) ERREXIT1(cinfo, JERR_BAD_SCAN_SCRIPT, cinfo->input_scan_number);
}

// Adobe CMYK as nearly every writer stores it: inverted, so each channel times
// K gives the colour.
void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned k = cmyk[3];
        bgr[0] = static_cast<std::uint8_t>((cmyk[2] * k + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((cmyk[1] * k + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((cmyk[0] * k + 127) / 255);
    }
}

// The caller allocates the image between the two phases, outside the setjmp
// frame, so header reading and decoding are split.
struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    bool created = false;
};

// Phase 1: header, colour space, size check. Returns 0 or a message number.
int ReadHeader(Decoder* d, std::string_view bytes, int* width, int* height) {
    InstallErrorManager(d->err);
    d->cinfo.err = &d->err.pub;
    if (setjmp(d->err.jump)) return d->err.pub.msg_code == 0 ? -1 : d->err.pub.msg_code;
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    d->cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    d->progress.progress_monitor = LimitScans;
    d->cinfo.progress = &d->progress;

    d->src.init_source = InitSource;
    d->src.fill_input_buffer = FillInputBuffer;
    d->src.skip_input_data = SkipInputData;
    d->src.resync_to_restart = jpeg_resync_to_restart;
    d->src.term_source = TermSource;
    d->src.next_input_byte = reinterpret_cast<const JOCTET*>(bytes.data());
    d->src.bytes_in_buffer = bytes.size();
    d->cinfo.src = &d->src;

    jpeg_read_header(&d->cinfo, TRUE);
    switch (d->cinfo.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
        d->cinfo.out_color_space = JCS_CMYK;
        break;
    default:
#ifdef JCS_EXTENSIONS
        d->cinfo.out_color_space = JCS_EXT_BGR;
#else
        d->cinfo.out_color_space = JCS_RGB;
#endif
        break;
    }
    // Scale 1/1 is the default, so the output size is the image size.
    if (!IsImageSizeAllowed(d->cinfo.image_width, d->cinfo.image_height))
        ERREXIT1(&d->cinfo, JERR_IMAGE_TOO_BIG, kMaxImageSide);
    // Every 8x8 block of a component takes at least one bit of coded data
    // (a Huffman code is at least one bit, and the first scan of a component
    // codes each block's DC). A few hundred bytes that claim a huge picture
    // would otherwise make libjpeg work through all of it: the arithmetic
    // decoder pads missing data with zeros without a warning.
    std::uint64_t fewestBlocks = UINT64_MAX;
    for (int c = 0; c < d->cinfo.num_components; ++c) {
        const jpeg_component_info& comp = d->cinfo.comp_info[c];
        fewestBlocks = std::min<std::uint64_t>(fewestBlocks, std::uint64_t{comp.width_in_blocks} * comp.height_in_blocks);
    }
    if (std::uint64_t{d->src.bytes_in_buffer} * 8 < fewestBlocks) ERREXIT(&d->cinfo, JWRN_JPEG_EOF);
    *width = static_cast<int>(d->cinfo.image_width);
    *height = static_cast<int>(d->cinfo.image_height);
    return 0;
}

// Phase 2: decode into the image. Returns 0 or a message number.
int Decompress(Decoder* d, ImageView24 image) {
    if (setjmp(d->err.jump)) return d->err.pub.msg_code == 0 ? -1 : d->err.pub.msg_code;
    jpeg_start_decompress(&d->cinfo);
    const bool cmyk = d->cinfo.out_color_space == JCS_CMYK;
    // Scale 1/1 and the colour spaces asked for above; anything else would
    // overrun the rows.
    if (d->cinfo.output_width != static_cast<JDIMENSION>(image.width) ||
        d->cinfo.output_height != static_cast<JDIMENSION>(image.height) ||
        d->cinfo.output_components != (cmyk ? 4 : 3))
        ERREXIT(&d->cinfo, JERR_NOTIMPL);

    JSAMPARRAY buffer = nullptr;
    if (cmyk) {
        buffer = (*d->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d->cinfo), JPOOL_IMAGE,
                                               d->cinfo.output_width * 4, 1);
    }
    while (d->cinfo.output_scanline < d->cinfo.output_height) {
        std::uint8_t* row = image.Row(static_cast<int>(d->cinfo.output_scanline));
        if (cmyk) {
            jpeg_read_scanlines(&d->cinfo, buffer, 1);
            CmykRowToBgr(buffer[0], row, image.width);
            continue;
        }
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&d->cinfo, rows, 1);
#ifndef JCS_EXTENSIONS
        for (int x = 0; x < image.width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
#endif
    }
    jpeg_finish_decompress(&d->cinfo);
    return 0;
}

}  // namespace

std::string EncodeJpeg(ConstImageView24 image) {
    CheckImageView(image);
    std::string out;
    if (const int code = CompressInto(image, &out)) ThrowJpegError(code);
    return out;
}

Image24 DecodeJpeg(std::string_view bytes) {
    // jpeg_decompress_struct is several hundred bytes; keep it off the stack frame
    // of callers that may be deep already.
    auto decoder = std::make_unique<Decoder>();
    struct Destroy {
        Decoder* d;
        ~Destroy() {
            if (d->created) jpeg_destroy_decompress(&d->cinfo);
        }
    } destroy{decoder.get()};

    int width = 0, height = 0;
    if (const int code = ReadHeader(decoder.get(), bytes, &width, &height)) ThrowJpegError(code);
    Image24 image(width, height);
    if (const int code = Decompress(decoder.get(), image.View())) ThrowJpegError(code);
    return image;
}

}  // namespace kadrix
