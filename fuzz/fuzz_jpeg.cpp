// libFuzzer target: DecodeJpeg must turn every libjpeg failure into
// kadrix::Error, never crash, hang or allocate without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Error.h"
#include "image/Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const kadrix::Image24 image = kadrix::DecodeJpeg(std::string_view(reinterpret_cast<const char*>(data), size));
        volatile std::uint8_t sink = image.Row(image.Height() - 1)[image.Width() * 3 - 1];
        (void)sink;
    } catch (const kadrix::Error&) {
    }
    return 0;
}
