// libFuzzer target: DecodeBmp must reject anything it cannot read with
// kadrix::Error, never crash, hang or read outside the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Error.h"
#include "image/Bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const kadrix::Image24 image = kadrix::DecodeBmp(std::string_view(reinterpret_cast<const char*>(data), size));
        // Touch the result so a wrong size shows up under AddressSanitizer.
        volatile std::uint8_t sink = image.Row(image.Height() - 1)[image.Width() * 3 - 1];
        (void)sink;
    } catch (const kadrix::Error&) {
    }
    return 0;
}
