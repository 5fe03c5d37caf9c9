#include "image/Scale32.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kadrix {

namespace {

// The source cells a target cell covers along one axis, with their shares.
struct Span {
    int first = 0;
    std::vector<double> weights;
};

std::vector<Span> Spans(int from, int to) {
    std::vector<Span> spans(static_cast<size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * step;
        const double end = std::min(static_cast<double>(from), (i + 1) * step);
        Span& span = spans[static_cast<size_t>(i)];
        span.first = static_cast<int>(begin);
        for (int s = span.first; s < from && s < end; ++s) {
            span.weights.push_back(std::min<double>(s + 1, end) - std::max<double>(s, begin));
        }
    }
    return spans;
}

}  // namespace

Image32 ScaleImage32(const Image32& source, int width, int height) {
    Image32 out;
    out.Width = std::max(width, 0);
    out.Height = std::max(height, 0);
    out.Pixels.assign(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height) * 4, 0);
    if (source.Width <= 0 || source.Height <= 0 || out.Pixels.empty()) return out;
    const std::vector<Span> columns = Spans(source.Width, out.Width);
    const std::vector<Span> rows = Spans(source.Height, out.Height);
    for (int y = 0; y < out.Height; ++y) {
        const Span& row = rows[static_cast<size_t>(y)];
        for (int x = 0; x < out.Width; ++x) {
            const Span& column = columns[static_cast<size_t>(x)];
            double sum[3] = {0, 0, 0};
            double alpha = 0;
            double area = 0;
            for (size_t j = 0; j < row.weights.size(); ++j) {
                for (size_t i = 0; i < column.weights.size(); ++i) {
                    const double w = row.weights[j] * column.weights[i];
                    const std::uint8_t* p =
                        source.Pixel(column.first + static_cast<int>(i), row.first + static_cast<int>(j));
                    const double a = w * p[3];
                    for (int c = 0; c < 3; ++c) sum[c] += a * p[c];
                    alpha += a;
                    area += w;
                }
            }
            std::uint8_t* q = out.Pixels.data() + (static_cast<size_t>(y) * static_cast<size_t>(out.Width) + x) * 4;
            if (alpha > 0) {
                for (int c = 0; c < 3; ++c) q[c] = static_cast<std::uint8_t>(std::min(255.0, sum[c] / alpha + 0.5));
            }
            q[3] = static_cast<std::uint8_t>(std::min(255.0, alpha / area + 0.5));
        }
    }
    return out;
}

}  // namespace kadrix
