#pragma once
// The 24-bit image that every capture, codec and clipboard step works on.
// Layout is that of a Windows 24-bit top-down DIB section: B,G,R bytes, rows
// top-down, each row padded to a multiple of 4 bytes, so the Win32 side can
// hand DIB-section memory to core through a view without copying.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kadrix {

constexpr int kMaxImageSide = 65535;
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 28;

// Bytes per row of a 24-bit DIB of this width.
constexpr std::ptrdiff_t Stride24(int width) {
    return (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t{3};
}

// True when width and height are both 1..kMaxImageSide and the pixel count is
// at most kMaxImagePixels.
constexpr bool IsImageSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 1 && width <= kMaxImageSide && height >= 1 && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

struct ConstImageView24 {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // may be negative for a bottom-up buffer

    const std::uint8_t* Row(int y) const { return data + y * stride; }
};

// Non-owning view of pixels that someone else owns (an Image24 or a DIB section).
struct ImageView24 {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    std::uint8_t* Row(int y) const { return data + y * stride; }
    operator ConstImageView24() const { return {data, width, height, stride}; }
};

// Throws Error when the view has no pixels, a size outside the cap or a stride
// shorter than its rows.
void CheckImageView(ConstImageView24 view);

class Image24 {
public:
    Image24() = default;
    // All bytes zero, padding included. Throws Error outside the size cap.
    Image24(int width, int height);

    Image24(Image24&&) noexcept = default;
    Image24& operator=(Image24&&) noexcept = default;
    Image24(const Image24& other);
    Image24& operator=(const Image24& other);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::ptrdiff_t Stride() const { return Stride24(width_); }
    std::size_t SizeBytes() const { return static_cast<std::size_t>(Stride()) * static_cast<std::size_t>(height_); }
    bool Empty() const { return data_ == nullptr; }

    std::uint8_t* Data() { return data_.get(); }
    const std::uint8_t* Data() const { return data_.get(); }
    std::uint8_t* Row(int y) { return data_.get() + y * Stride(); }
    const std::uint8_t* Row(int y) const { return data_.get() + y * Stride(); }

    ImageView24 View() { return {data_.get(), width_, height_, Stride()}; }
    ConstImageView24 View() const { return {data_.get(), width_, height_, Stride()}; }
    operator ImageView24() { return View(); }
    operator ConstImageView24() const { return View(); }

private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const noexcept { std::free(p); }
    };
    // calloc, not new[]: large blocks come as untouched zero pages, so a decoder
    // that fails early has not paid for the whole image.
    std::unique_ptr<std::uint8_t, FreeDeleter> data_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kadrix
