// libFuzzer target: DecodePng must turn every libpng failure into
// kadrix::Error, never crash, hang or allocate past its size cap.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Error.h"
#include "image/Png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const kadrix::Image32 image = kadrix::DecodePng(std::string_view(reinterpret_cast<const char*>(data), size));
        if (image.Pixels.size() != static_cast<std::size_t>(image.Width) * image.Height * 4) __builtin_trap();
        volatile std::uint8_t sink = image.Pixels.back();
        (void)sink;
    } catch (const kadrix::Error&) {
    }
    return 0;
}
