#include "overlay/HintPanel.h"

#include <windowsx.h>

#include "overlay/Background.h"
#include "overlay/OverlayPaint.h"
#include "win32/Paint.h"

using namespace kadrix;
using namespace kadrix::win;

void THintPanel::Create(TForm_Background* owner) {
    owner_ = owner;
    const auto& panel = owner->Scene().Panel();
    CreateHandle({L"TPanel_Hint", CS_DBLCLKS, nullptr, nullptr, nullptr}, 0, WS_CHILD | WS_CLIPSIBLINGS, L"",
                 panel.Bounds.Left, panel.Bounds.Top, panel.Bounds.Width, panel.Bounds.Height, owner->Handle());
    hints_ = {
        L"\u2981 Выделите область экрана",
        L"\u2981 Для рисования в выделенной области -  нажмите и удерживайте клавишу Shift",
        L"\u2981 Чтобы стереть нарисованное - нажмите и удерживайте клавишу Ctrl",
        L"\u2981 Чтобы сохранить сделанный скриншот - нажмите клавишу Enter",
        L"\u2981 Передумали делать скриншот - нажмите клавишу Esc",
    };
}

void THintPanel::SetHints(const std::array<std::wstring, 5>& texts) {
    hints_ = texts;
    if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void THintPanel::Paint(HDC dc, const RECT& clip) {
    const OverlayScene& scene = owner_->Scene();
    FillSolid(dc, clip, kBlack);
    Font font(CreateFontW(-scene.Metrics().HintFontHeight, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                          CLEARTYPE_QUALITY, 0, L"Tahoma"));
    SelectObjectScope select(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kWhite);
    constexpr PanelItem labels[5] = {PanelItem::Hint1, PanelItem::Hint2, PanelItem::Hint3, PanelItem::Hint4,
                                     PanelItem::Hint5};
    for (int i = 0; i < 5; ++i) {
        RECT rc = ToRECT(scene.Get(labels[i]).Bounds);
        DrawTextW(dc, hints_[i].c_str(), static_cast<int>(hints_[i].size()), &rc,
                  (i == 0 ? DT_SINGLELINE : DT_WORDBREAK) | DT_NOPREFIX | DT_LEFT | DT_TOP);
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
        owner_->DispatchMouse(msg, wParam,
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
