#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Utf.h"
#include "localisation/LabelColor.h"

namespace kadrix {
namespace {

constexpr std::uint32_t kRed = 255;
constexpr int kLineHeight = 20;

struct Colouring {
    std::u16string_view text;
    std::uint32_t color = kRed;
};

struct Placed {
    std::u16string text;
    int left;
    int top;
};

struct Case {
    const char* name;
    std::u16string_view text;
    std::vector<Colouring> colour;
    int width;
    LabelAlignment alignment;
    int charWidth;  // the measure: every UTF-16 code unit this many pixels wide
    std::vector<Placed> lines;
    std::vector<Placed> fragments;
};

constexpr auto L = LabelAlignment::Left, R = LabelAlignment::Right, C = LabelAlignment::Centre;

const std::vector<Case> kCases = {
    {"bullet at the left edge", u"⦁ Select an area", {{u"⦁ "}}, 597, L, 10,
     {{u"⦁ Select an area", 0, 0}}, {{u"⦁ ", 0, 0}}},
    {"a word twice on a line", u"⦁ Shift or Shift", {{u"⦁ "}, {u"Shift"}}, 597, L, 10,
     {{u"⦁ Shift or Shift", 0, 0}}, {{u"⦁ ", 0, 0}, {u"Shift", 20, 0}, {u"Shift", 110, 0}}},
    {"lower-case word untouched", u"⦁ shift and Shift", {{u"Shift"}}, 597, L, 10,
     {{u"⦁ shift and Shift", 0, 0}}, {{u"Shift", 120, 0}}},
    {"Esc inside Escape", u"⦁ Escape or Esc", {{u"Esc"}}, 597, L, 10,
     {{u"⦁ Escape or Esc", 0, 0}}, {{u"Esc", 20, 0}, {u"Esc", 120, 0}}},
    {"overlapping occurrences", u"aaa", {{u"aa"}}, 597, L, 10,
     {{u"aaa", 0, 0}}, {{u"aa", 0, 0}, {u"aa", 10, 0}}},
    // "⦁ Hold the" is exactly 100 wide: a line as wide as the label fits.
    {"a word moved to line two", u"⦁ Hold the Shift key", {{u"⦁ "}, {u"Shift"}}, 100, L, 10,
     {{u"⦁ Hold the", 0, 0}, {u"Shift key", 0, kLineHeight}}, {{u"⦁ ", 0, 0}, {u"Shift", 0, kLineHeight}}},
    {"a text split by the wrap stays uncoloured", u"⦁ Hold the Shift key", {{u"the Shift"}}, 100, L, 10,
     {{u"⦁ Hold the", 0, 0}, {u"Shift key", 0, kLineHeight}}, {}},
    {"double spaces kept in the lines", u"a  b c", {{u"c"}}, 40, L, 10,
     {{u"a  b", 0, 0}, {u"c", 0, kLineHeight}}, {{u"c", 0, kLineHeight}}},
    {"over-wide first word alone on its line", u"⦁ Ctrl+Shift+Esc now", {{u"Esc"}}, 50, L, 10,
     {{u"⦁", 0, 0}, {u"Ctrl+Shift+Esc", 0, kLineHeight}, {u"now", 0, 2 * kLineHeight}},
     {{u"Esc", 110, kLineHeight}}},
    {"over-wide word inside the text", u"go Ctrl+Shift+Esc", {{u"go"}}, 50, C, 10,
     {{u"go", 15, 0}, {u"Ctrl+Shift+Esc", -45, kLineHeight}}, {{u"go", 15, 0}}},
    // 50 wide in 101: 25.5 goes to 26.
    {"centred, half up to even", u"⦁ Esc", {{u"⦁ "}, {u"Esc"}}, 101, C, 10,
     {{u"⦁ Esc", 26, 0}}, {{u"⦁ ", 26, 0}, {u"Esc", 46, 0}}},
    // 51 wide in 100: 24.5 goes to 24.
    {"centred, half down to even", u"Press Esc to quit", {{u"Press"}, {u"Esc"}}, 100, C, 3,
     {{u"Press Esc to quit", 24, 0}}, {{u"Press", 24, 0}, {u"Esc", 42, 0}}},
    {"centred on the second line", u"Hold the Shift key", {{u"Shift"}}, 100, C, 10,
     {{u"Hold the", 10, 0}, {u"Shift key", 5, kLineHeight}}, {{u"Shift", 5, kLineHeight}}},
    {"right-aligned", u"⦁ Press Enter", {{u"⦁ "}, {u"Enter"}}, 200, R, 10,
     {{u"⦁ Press Enter", 70, 0}}, {{u"⦁ ", 70, 0}, {u"Enter", 150, 0}}},
    {"right-aligned on the second line", u"Hold the Shift key", {{u"Shift"}}, 100, R, 10,
     {{u"Hold the", 20, 0}, {u"Shift key", 10, kLineHeight}}, {{u"Shift", 10, kLineHeight}}},
    {"a text with CR LF gets no fragments", u"Shift\r\nShift", {{u"Shift"}}, 597, L, 10,
     {{u"Shift", 0, 0}, {u"Shift", 0, kLineHeight}}, {}},
    {"an empty word colours nothing", u"⦁ Esc", {{u""}}, 597, L, 10, {{u"⦁ Esc", 0, 0}}, {}},
    {"a word that does not occur", u"⦁ Esc", {{u"Enter"}}, 597, L, 10, {{u"⦁ Esc", 0, 0}}, {}},
    {"an empty text is one empty line", u"", {{u"⦁ "}}, 597, L, 10, {{u"", 0, 0}}, {}},
};

std::string Show(const std::vector<Placed>& placed) {
    std::string out;
    for (const Placed& p : placed) {
        out += '"';
        out += Utf16ToUtf8(p.text);
        out += "\"@" + std::to_string(p.left) + "," + std::to_string(p.top) + " ";
    }
    return out;
}

TEST(LabelColor, LinesAndFragmentsLandOnTheirWords) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const MeasureTextFn measure = [&](std::u16string_view s) { return static_cast<int>(s.size()) * c.charWidth; };
        LabelColor label;
        for (const Colouring& k : c.colour) label.ColorText(k.text, k.color);
        const LabelLayout layout = label.Layout(c.text, {c.width, kLineHeight, c.alignment}, measure);

        std::vector<Placed> lines, fragments;
        for (const LabelLine& l : layout.Lines) lines.push_back({l.Text, l.Left, l.Top});
        for (const ColorFragment& f : layout.Fragments) {
            fragments.push_back({f.Text, f.Left, f.Top});
            EXPECT_EQ(f.Color, kRed);
            EXPECT_EQ(f.Width, measure(f.Text));
        }
        EXPECT_EQ(Show(lines), Show(c.lines));
        EXPECT_EQ(Show(fragments), Show(c.fragments));
        if (c.text.find(u'\r') == c.text.npos) {
            // The lines are the label's text, broken only at spaces.
            std::u16string joined;
            for (std::size_t i = 0; i < layout.Lines.size(); ++i) joined += (i ? u" " : u"") + layout.Lines[i].Text;
            EXPECT_EQ(Utf16ToUtf8(joined), Utf16ToUtf8(c.text));
        }
    }
}

TEST(LabelColor, ResetColorsAndRepeatedColouringNeverStack) {
    const MeasureTextFn measure = [](std::u16string_view s) { return static_cast<int>(s.size()) * 10; };
    const LabelBox box{597, kLineHeight, LabelAlignment::Left};
    LabelColor label;
    // Two language switches: each resets, sets the text and colours again.
    for (const std::u16string_view text : {u"⦁ Hold Shift to draw", u"⦁ Shift gedrückt halten"}) {
        label.ResetColors();
        label.ColorText(u"⦁ ", kRed);
        label.ColorText(u"Shift", kRed);
        label.ColorText(u"Shift", kRed);
        const LabelLayout layout = label.Layout(text, box, measure);
        ASSERT_EQ(layout.Fragments.size(), 2u) << Utf16ToUtf8(text);
        EXPECT_EQ(layout.Fragments[0].Text, u"⦁ ");
        EXPECT_EQ(layout.Fragments[0].Left, 0);
        EXPECT_EQ(layout.Fragments[1].Text, u"Shift");
        EXPECT_EQ(layout.Fragments[1].Left, text.find(u"Shift") * 10);
    }
    label.ColorText(u"Shift", 0xFF0000);  // another colour is another fragment
    EXPECT_EQ(label.Layout(u"⦁ Shift", box, measure).Fragments.size(), 3u);
    label.ResetColors();
    EXPECT_TRUE(label.Layout(u"⦁ Shift", box, measure).Fragments.empty());
}

TEST(LabelColor, CentredOffsetHalvesToTheEvenNeighbour) {
    struct {
        int label, line, offset;
    } const cases[] = {{101, 50, 26}, {100, 51, 24}, {100, 50, 25}, {100, 53, 24}, {100, 101, 0}, {100, 103, -2},
                       {100, 105, -2}, {100, 100, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(CentredLineOffset(c.label, c.line), c.offset) << c.label << " " << c.line;
    }
}

}  // namespace
}  // namespace kadrix
