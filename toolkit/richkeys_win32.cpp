#include <richedit.h>
#include <windows.h>

#include <array>

#include "toolkit/richkeys.h"

namespace {

CHARFORMAT2W SelectionFormat(TControl* rich) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    rich->Perform(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return cf;
}

void SetSelectionFormat(TControl* rich, CHARFORMAT2W cf, DWORD mask) {
    cf.cbSize = sizeof(cf);
    cf.dwMask = mask;
    rich->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

PARAFORMAT2 SelectionParagraph(TControl* rich) {
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    rich->Perform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    return pf;
}

void SetSelectionParagraph(TControl* rich, PARAFORMAT2 pf, DWORD mask) {
    pf.cbSize = sizeof(pf);
    pf.dwMask = mask;
    rich->Perform(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
}

// The value after current in cycle; the first when current is not in it.
template <class T, size_t N>
T NextIn(const std::array<T, N>& cycle, T current) {
    for (size_t i = 0; i < N; ++i)
        if (cycle[i] == current) return cycle[(i + 1) % N];
    return cycle[0];
}

constexpr std::array<BYTE, 5> kUnderlineTypes = {CFU_UNDERLINE, CFU_UNDERLINEWORD, CFU_UNDERLINEDOUBLE,
                                                 CFU_UNDERLINEDOTTED, CFU_UNDERLINENONE};
constexpr std::array<WORD, 6> kNumberings = {0,           PFN_ARABIC, PFN_LCLETTER, PFN_UCLETTER,
                                             PFN_LCROMAN, PFN_UCROMAN};
constexpr std::array<WORD, 4> kNumberingStyles = {PFNS_PERIOD, PFNS_PAREN, PFNS_PARENS, PFNS_PLAIN};
// wBorders: 1 left, 2 right, 4 top, 8 bottom.
constexpr std::array<WORD, 4> kBorders = {0, 8, 4 | 8, 1 | 2 | 4 | 8};
constexpr WORD kBorderWidth = 15;  // twips: one pixel at 96 dpi

void ToggleEffect(TControl* rich, DWORD effect) {
    CHARFORMAT2W cf = SelectionFormat(rich);
    cf.dwEffects = (cf.dwEffects & effect) != 0 ? 0 : effect;
    SetSelectionFormat(rich, cf, effect);
}

void StepUnderlineType(TControl* rich) {
    CHARFORMAT2W cf = SelectionFormat(rich);
    // The selection steps down through the types; from the first it wraps to the last.
    BYTE type = cf.bUnderlineType;
    for (size_t i = 0; i < kUnderlineTypes.size(); ++i)
        if (kUnderlineTypes[i] == type) {
            type = kUnderlineTypes[(i + kUnderlineTypes.size() - 1) % kUnderlineTypes.size()];
            break;
        }
    if (type == cf.bUnderlineType) type = kUnderlineTypes.back();  // a type outside the cycle
    cf.bUnderlineType = type;
    SetSelectionFormat(rich, cf, CFM_UNDERLINETYPE);
}

void Align(TControl* rich, WORD alignment) {
    PARAFORMAT2 pf{};
    pf.wAlignment = alignment;
    SetSelectionParagraph(rich, pf, PFM_ALIGNMENT);
}

void Resize(TControl* rich, int32_t delta, bool baseline) {
    CHARFORMAT2W cf = SelectionFormat(rich);
    const DWORD mask = baseline ? CFM_OFFSET : CFM_SIZE;
    // Integer division truncates toward zero, as the steps are meant to.
    if (baseline) {
        cf.yOffset += cf.yHeight * delta / 3;
    } else {
        cf.yHeight += cf.yHeight * delta / 8;
    }
    if ((cf.dwMask & mask) == 0) cf.yOffset = 0;
    SetSelectionFormat(rich, cf, mask);
}

void StepNumbering(TControl* rich) {
    PARAFORMAT2 pf = SelectionParagraph(rich);
    pf.wNumbering = NextIn(kNumberings, pf.wNumbering);
    if (pf.wNumberingStart == 0) pf.wNumberingStart = 1;
    if (pf.wNumberingStyle != PFNS_PAREN && pf.wNumberingStyle != PFNS_PARENS &&
        pf.wNumberingStyle != PFNS_PLAIN)
        pf.wNumberingStyle = PFNS_PERIOD;
    SetSelectionParagraph(rich, pf, PFM_NUMBERING | PFM_NUMBERINGSTYLE | PFM_NUMBERINGSTART);
}

void BulletsOrNumberingStyle(TControl* rich) {
    PARAFORMAT2 pf = SelectionParagraph(rich);
    if (pf.wNumbering == 0 || pf.wNumbering == PFN_BULLET) {
        pf.wNumbering = pf.wNumbering == PFN_BULLET ? 0 : PFN_BULLET;
        SetSelectionParagraph(rich, pf, PFM_NUMBERING);
        return;
    }
    pf.wNumberingStyle = NextIn(kNumberingStyles, pf.wNumberingStyle);
    SetSelectionParagraph(rich, pf, PFM_NUMBERINGSTYLE);
}

void StepBorders(TControl* rich) {
    PARAFORMAT2 pf = SelectionParagraph(rich);
    pf.wBorders = NextIn(kBorders, WORD(pf.wBorders & 0x0F));
    if (pf.wBorderWidth == 0) pf.wBorderWidth = kBorderWidth;
    SetSelectionParagraph(rich, pf, PFM_BORDER);
}

// True when the key was taken.
bool FormatKey(TControl* rich, WPARAM key, bool shift) {
    switch (key) {
        case 'B':
            if (shift) return false;
            ToggleEffect(rich, CFE_BOLD);
            return true;
        case 'I':
            if (shift) return false;
            ToggleEffect(rich, CFE_ITALIC);
            return true;
        case 'U':
            if (shift) {
                StepUnderlineType(rich);
            } else {
                ToggleEffect(rich, CFE_UNDERLINE);
            }
            return true;
        case 'O':
            if (shift) return false;
            ToggleEffect(rich, CFE_STRIKEOUT);
            return true;
        case 'L':
        case 'R':
        case 'E':
        case 'J':
            if (shift) return false;
            Align(rich, key == 'L'   ? PFA_LEFT
                        : key == 'R' ? PFA_RIGHT
                        : key == 'E' ? PFA_CENTER
                                     : PFA_JUSTIFY);
            return true;
        case VK_ADD:
        case VK_SUBTRACT:
            Resize(rich, key == VK_ADD ? 1 : -1, shift);
            return true;
        case 'Z':
            if (!shift) return false;  // the control's own undo
            rich->Perform(EM_REDO, 0, 0);
            return true;
        case 'N':
            if (shift) {
                BulletsOrNumberingStyle(rich);
            } else {
                StepNumbering(rich);
            }
            return true;
        case 'W':
            StepBorders(rich);
            return true;
        default:
            return false;
    }
}

}  // namespace

bool FormatKeysHandler(TControl* self, MSG& msg, LRESULT& result) {
    if (msg.message == WM_CHAR && self->FormatKeyPending != 0) {
        self->FormatKeyPending = 0;
        if (msg.wParam >= L' ') return false;
        result = 0;
        return true;
    }
    if (msg.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return false;
    if (!FormatKey(self, msg.wParam, GetKeyState(VK_SHIFT) < 0)) return false;
    // The key's character (Ctrl+I a Tab, Ctrl+J a line feed, Ctrl+Num+ a plus sign) is queued for
    // this window already; a key taken here must not also type. When none is queued (the key was
    // sent, not typed), a control character that still follows is dropped.
    MSG ch;
    if (PeekMessageW(&ch, msg.hwnd, WM_CHAR, WM_CHAR, PM_REMOVE) == FALSE) self->FormatKeyPending = 1;
    result = 0;
    return true;
}

void AttachFormatKeys(TControl* richEdit) {
    richEdit->AttachHandler(FormatKeysHandler);
}
