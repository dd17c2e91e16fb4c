// TKVLED: an indicator lamp drawn with GDI, round or square, lit or dark, with an optional 3-D rim
// and glints. actOn and actOff change the state and fire evState with the new one. What the colour
// says is said in words too, for a screen reader: the lamp's accessible name is its hint and its
// state (OnText or OffText), and a change of state announces the new name. The rim and glints are
// drawn at the lamp's dpi.
#pragma once

#include <windows.h>

#include <string>

#include "support/cp1251.h"
#include "wincomponents/kvwin.h"

class TKVLED : public TKVWin {
public:
    explicit TKVLED(TControl* parent) : TKVWin(parent) {}
    ~TKVLED() override;

    uint32_t OnColor = 0;                               // TColor of the lit lamp
    uint32_t OffColor = 0;                              // of the dark lamp
    uint32_t LightColor = 0;                            // glints of the lit lamp
    uint8_t State = 0;                                  // 0 dark, 1 lit
    uint8_t Shape = 0;                                  // 0 round, 1 square, others a plain square
    uint8_t Bevel = 0;                                  // rim and glints
    std::string OnText = std::string(Cp1251("горит"));  // the lit state in words
    std::string OffText = std::string(Cp1251("не горит"));
    // Made once by InitControl from the colours at that moment; owned.
    HGDIOBJ ShadowPen = nullptr;
    HGDIOBJ HighlightPen = nullptr;
    HGDIOBJ DarkPen = nullptr;
    HGDIOBJ LightPen = nullptr;
    HGDIOBJ WideWhitePen = nullptr;
    HGDIOBJ WideOnPen = nullptr;
    HGDIOBJ OnBrush = nullptr;
    HGDIOBJ OffBrush = nullptr;
    TKV_Event evState;
    TKV_Event evClick;

    void actOn(TData& data, uint16_t index);
    void actOff(TData& data, uint16_t index);

    void Resized() override;
    void InitControl() override;
    void ScaleTo(int32_t dpi) override;

    // The accessible name: the hint, then the state in words.
    std::string StateName() const;

    // Draws the lamp into the rectangle, after the background was filled.
    void Paint(HDC dc, RECT r) const;
    void PaintRoundBevel(HDC dc, RECT r) const;
    void PaintSquareBevel(HDC dc, RECT r) const;

private:
    // The pens at Dpi, and the brushes the first time.
    void MakePens();
    void DeletePens();
    void StateChanged();
    void OnPaint(TControl* sender, HDC dc);
    void OnClick(TObj* sender);
};
