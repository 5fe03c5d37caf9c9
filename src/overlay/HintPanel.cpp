#include "overlay/HintPanel.h"

#include <windowsx.h>

#include <algorithm>
#include <limits>

#include "overlay/Background.h"
#include "overlay/OverlayPaint.h"
#include "win32/Paint.h"

using namespace kadrix;
using namespace kadrix::win;

namespace {

constexpr char16_t kBullet = u'\u2981';
// The key named in each hint after the first, shown in red like the bullet.
constexpr std::u16string_view kKeyNames[5] = {u"", u"Shift", u"Ctrl", u"Enter", u"Esc"};

bool FontHasGlyph(HDC dc, char16_t c) {
    WORD index = 0xFFFF;
    const wchar_t text[1] = {static_cast<wchar_t>(c)};
    return GetGlyphIndicesW(dc, text, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == 1 && index != 0xFFFF;
}

std::u16string WithBullet(std::u16string text, char16_t bullet) {
    std::replace(text.begin(), text.end(), kBullet, bullet);
    return text;
}

}  // namespace

void THintPanel::Create(TForm_Background* owner) {
    owner_ = owner;
    const auto& panel = owner->Scene().Panel();
    CreateHandle({L"TPanel_Hint", CS_DBLCLKS, nullptr, nullptr, nullptr}, 0, WS_CHILD | WS_CLIPSIBLINGS, L"",
                 panel.Bounds.Left, panel.Bounds.Top, panel.Bounds.Width, panel.Bounds.Height, owner->Handle());
    // The panel is made when the first capture needs it, often after a
    // language has given it its texts: the built-in ones only stand in for none.
    if (!hints_[0].empty()) return;
    SetHints({
        L"Выделите область экрана",
        L"Для рисования в выделенной области -  нажмите и удерживайте клавишу Shift",
        L"Чтобы стереть нарисованное - нажмите и удерживайте клавишу Ctrl",
        L"Чтобы сохранить сделанный скриншот - нажмите клавишу Enter",
        L"Передумали делать скриншот - нажмите клавишу Esc",
    });
}

void THintPanel::SetHints(const std::array<std::wstring, 5>& texts) {
    for (size_t i = 0; i < texts.size(); ++i) hints_[i] = u"\u2981 " + std::u16string(texts[i].begin(), texts[i].end());
    Recolor();
    if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

// Coloured anew for every text and font, so words never stack up over
// repeated language switches.
void THintPanel::Recolor() {
    const std::u16string bullet{bullet_, u' '};
    for (size_t i = 0; i < colors_.size(); ++i) {
        colors_[i].ResetColors();
        colors_[i].ColorText(bullet, kRed);
        if (!kKeyNames[i].empty()) colors_[i].ColorText(kKeyNames[i], kRed);
    }
}

void THintPanel::EnsureFont(HDC dc, int height) {
    if (font_ && height == fontHeight_) return;
    fontHeight_ = height;
    font_.Reset(CreateFontW(-height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                            L"Tahoma"));
    // Tahoma has no "⦁" on many systems (it draws an empty box): the nearest
    // bullet the font has takes its place.
    SelectObjectScope select(dc, font_.Get());
    bullet_ = kBullet;
    for (char16_t candidate : {kBullet, u'\u2022', u'\u00B7'}) {
        if (FontHasGlyph(dc, candidate)) {
            bullet_ = candidate;
            break;
        }
    }
    Recolor();
}

void THintPanel::Paint(HDC dc, const RECT& clip) {
    const OverlayScene& scene = owner_->Scene();
    FillSolid(dc, clip, kBlack);
    EnsureFont(dc, scene.Metrics().HintFontHeight);
    SelectObjectScope select(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const MeasureTextFn measure = [dc](std::u16string_view text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    auto draw = [dc](int x, int y, std::u16string_view text, COLORREF color) {
        SetTextColor(dc, color);
        ExtTextOutW(dc, x, y, 0, nullptr, reinterpret_cast<const wchar_t*>(text.data()),
                    static_cast<UINT>(text.size()), nullptr);
    };
    constexpr PanelItem labels[5] = {PanelItem::Hint1, PanelItem::Hint2, PanelItem::Hint3, PanelItem::Hint4,
                                     PanelItem::Hint5};
    for (size_t i = 0; i < hints_.size(); ++i) {
        const Rect bounds = scene.Get(labels[i]).Bounds;
        const RECT rc = ToRECT(bounds);
        RECT visible;
        if (!IntersectRect(&visible, &rc, &clip)) continue;
        // The first hint stands on one line; the others wrap at the label's width.
        const int width = i == 0 ? std::numeric_limits<int>::max() / 2 : bounds.Width;
        const LabelLayout layout =
            colors_[i].Layout(WithBullet(hints_[i], bullet_), {width, metrics.tmHeight, LabelAlignment::Left}, measure);
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
        for (const LabelLine& line : layout.Lines) draw(rc.left + line.Left, rc.top + line.Top, line.Text, kWhite);
        for (const ColorFragment& fragment : layout.Fragments) {
            draw(rc.left + fragment.Left, rc.top + fragment.Top, fragment.Text, fragment.Color);
        }
        RestoreDC(dc, saved);
    }
    for (PanelItem line : {PanelItem::LineHintX, PanelItem::LineHintY}) {
        const ItemState& state = scene.Get(line);
        if (state.Visible) FillSolid(dc, ToRECT(state.Bounds), kWhite);
    }
}

LRESULT THintPanel::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsRoutedMouseMessage(msg)) {
        if (msg == WM_MOUSEMOVE) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            TrackMouseEvent(&track);
        }
        const Point at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        owner_->DispatchMouse(Handle(), msg, wParam, lParam,
                              [&](MouseEvent ev) { return owner_->Scene().RoutesOnPanel(at, ev); });
        return 0;
    }
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        PaintBuffered(dc, ps.rcPaint, [&](HDC buffer) { Paint(buffer, ps.rcPaint); });
        EndPaint(Handle(), &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(Handle(), &rc);
        Paint(reinterpret_cast<HDC>(wParam), rc);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSELEAVE:
        owner_->FormMouseLeave();
        return 0;
    }
    return Default(msg, wParam, lParam);
}
