#include "image/Image24.h"

#include <cstring>
#include <new>

#include "core/Error.h"

namespace kadrix {

namespace {
[[noreturn]] void ThrowBadSize() { throw Error(u"Image size is not supported"); }
}  // namespace

void CheckImageView(ConstImageView24 view) {
    if (view.data == nullptr || !IsImageSizeAllowed(view.width, view.height)) ThrowBadSize();
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(view.width) * 3;
    if (view.stride < rowBytes && -view.stride < rowBytes) ThrowBadSize();
}

Image24::Image24(int width, int height) {
    if (!IsImageSizeAllowed(width, height)) ThrowBadSize();
    const std::size_t bytes = static_cast<std::size_t>(Stride24(width)) * static_cast<std::size_t>(height);
    data_.reset(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
    if (!data_) throw std::bad_alloc();
    width_ = width;
    height_ = height;
}

Image24::Image24(const Image24& other) : Image24() {
    if (other.Empty()) return;
    Image24 copy(other.width_, other.height_);
    std::memcpy(copy.Data(), other.Data(), other.SizeBytes());
    *this = std::move(copy);
}

Image24& Image24::operator=(const Image24& other) {
    if (this != &other) *this = Image24(other);
    return *this;
}

}  // namespace kadrix
