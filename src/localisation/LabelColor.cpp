#include "localisation/LabelColor.h"

#include <algorithm>

namespace kadrix {

namespace {

void BreakParagraph(std::u16string_view text, int width, const MeasureTextFn& measure,
                    std::vector<std::u16string>& lines) {
    std::u16string line;
    bool lineStarted = false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = text.find(u' ', start);
        const std::u16string_view word = text.substr(start, space == std::u16string_view::npos ? text.npos : space - start);
        if (!lineStarted) {
            // Taken even when wider than the label: otherwise no line could hold it.
            line.assign(word);
            lineStarted = true;
        } else {
            std::u16string candidate = line;
            candidate += u' ';
            candidate += word;
            if (measure(candidate) <= width) {
                line = std::move(candidate);
            } else {
                lines.push_back(std::move(line));
                line.assign(word);
            }
        }
        if (space == std::u16string_view::npos) break;
        start = space + 1;
    }
    lines.push_back(std::move(line));
}

int LineLeft(const LabelBox& box, int lineWidth) {
    switch (box.Alignment) {
    case LabelAlignment::Right: return box.Width - lineWidth;
    case LabelAlignment::Centre: return CentredLineOffset(box.Width, lineWidth);
    default: return 0;
    }
}

// Where an occurrence starting at code unit `position` of the line begins.
int FragmentLeft(const LabelBox& box, std::u16string_view line, std::size_t position, const MeasureTextFn& measure) {
    switch (box.Alignment) {
    case LabelAlignment::Right: return box.Width - measure(line.substr(position));
    case LabelAlignment::Centre: {
        const int offset = CentredLineOffset(box.Width, measure(line));
        return position == 0 ? offset : offset + measure(line.substr(0, position));
    }
    default: return position == 0 ? 0 : measure(line.substr(0, position));
    }
}

}  // namespace

std::vector<std::u16string> BreakLabelLines(std::u16string_view text, int width, const MeasureTextFn& measure) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(u"\r\n", start);
        BreakParagraph(text.substr(start, end == std::u16string_view::npos ? text.npos : end - start), width, measure,
                       lines);
        if (end == std::u16string_view::npos) break;
        start = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    }
    return lines;
}

int CentredLineOffset(int labelWidth, int lineWidth) {
    const long long spare = static_cast<long long>(labelWidth) - lineWidth;
    long long half = spare >= 0 ? spare / 2 : -((-spare + 1) / 2);  // floor
    if (spare % 2 != 0 && half % 2 != 0) ++half;                     // x.5: to the even neighbour
    return static_cast<int>(half);
}

void LabelColor::ColorText(std::u16string_view Text, std::uint32_t colorr) {
    if (Text.empty()) return;
    const bool known = std::any_of(words_.begin(), words_.end(),
                                   [&](const Word& w) { return w.Text == Text && w.Color == colorr; });
    if (!known) words_.push_back({std::u16string(Text), colorr});
}

void LabelColor::ResetColors() { words_.clear(); }

LabelLayout LabelColor::Layout(std::u16string_view text, const LabelBox& box, const MeasureTextFn& measure) const {
    LabelLayout layout;
    const std::vector<std::u16string> lines = BreakLabelLines(text, box.Width, measure);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        layout.Lines.push_back({lines[i], LineLeft(box, measure(lines[i])), static_cast<int>(i) * box.LineHeight});
    }
    // Words on a text with explicit breaks stay uncoloured.
    if (text.find(u"\r\n") != std::u16string_view::npos) return layout;
    for (const Word& word : words_) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::u16string_view line = lines[i];
            // Overlapping occurrences each get a fragment.
            for (std::size_t at = line.find(word.Text); at != line.npos; at = line.find(word.Text, at + 1)) {
                layout.Fragments.push_back({word.Text, FragmentLeft(box, line, at, measure),
                                            static_cast<int>(i) * box.LineHeight, measure(word.Text), word.Color});
            }
        }
    }
    return layout;
}

}  // namespace kadrix
