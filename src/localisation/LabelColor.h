#pragma once
// Words of a label shown in another colour, laid out exactly over the words
// the label draws. The window side draws the lines this returns, then each
// fragment's text over them in the fragment's colour; it breaks no lines of
// its own, so a fragment can never land beside its word.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrix {

enum class LabelAlignment : std::uint8_t { Left, Right, Centre };

// Width in pixels of a text in the label's font, on one line.
using MeasureTextFn = std::function<int(std::u16string_view)>;

struct LabelBox {
    int Width = 0;
    int LineHeight = 0;  // height of one line of text in the label's font
    LabelAlignment Alignment = LabelAlignment::Left;
};

// One display line; Left and Top are relative to the label's top-left corner.
struct LabelLine {
    std::u16string Text;
    int Left = 0;
    int Top = 0;
};

// One occurrence of a coloured word, one line high, relative to the label.
struct ColorFragment {
    std::u16string Text;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    std::uint32_t Color = 0;  // 0x00BBGGRR
};

struct LabelLayout {
    std::vector<LabelLine> Lines;
    std::vector<ColorFragment> Fragments;
};

// Greedy word wrap: each line takes as many words as fit (a line fits when it
// is not wider than the label), words split only at single spaces, so the
// lines joined by spaces give the text back. A first word wider than the label
// stands alone on its line. CR LF, CR or LF end a line as well.
std::vector<std::u16string> BreakLabelLines(std::u16string_view text, int width, const MeasureTextFn& measure);

// Offset of a centred line: half the spare width, halves to the even neighbour.
int CentredLineOffset(int labelWidth, int lineWidth);

// The coloured words of one label, kept as data: the fragments are laid out
// afresh for the label's current text, size and font at every Layout, so they
// follow any change of those. Call ResetColors before colouring a new text.
class LabelColor {
public:
    // Every occurrence of Text on a display line, case-sensitive and also
    // inside longer words, gets a fragment in colorr. An occurrence that the
    // wrap splits, an empty Text or a label text holding a line break gets
    // none. Colouring the same text in the same colour again adds nothing.
    void ColorText(std::u16string_view Text, std::uint32_t colorr);
    void ResetColors();

    LabelLayout Layout(std::u16string_view text, const LabelBox& box, const MeasureTextFn& measure) const;

private:
    struct Word {
        std::u16string Text;
        std::uint32_t Color;
    };
    std::vector<Word> words_;
};

}  // namespace kadrix
