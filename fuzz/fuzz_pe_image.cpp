// The About box reads its own image and the build step reads the linked exe:
// any bytes, in either layout, must give a stamp and a version or none,
// never a read outside them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "about/PeImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so that AddressSanitizer catches a
    // read one byte past it.
    const std::vector<std::uint8_t> copy(data, data + size);
    const std::span<const std::uint8_t> image(copy);
    (void)kadrix::PeSizeOfImage(image);
    for (const kadrix::PeLayout layout : {kadrix::PeLayout::File, kadrix::PeLayout::Mapped}) {
        const auto offset = kadrix::ResourceStampOffset(image, layout);
        const auto stamp = kadrix::ResourceTimeDateStamp(image, layout);
        // The build step writes the stamp at the offset: it must lie in the image.
        if (offset && (*offset > size || size - *offset < 4)) __builtin_trap();
        if (offset.has_value() != stamp.has_value()) __builtin_trap();
        (void)kadrix::ReadFixedFileVersion(image, layout);
    }
    return 0;
}
