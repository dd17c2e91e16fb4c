// What Wine forgives and Windows does not, shown with the pieces of a real Windows the tests can
// load: a raster face made for a Western code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "toolkit/applet.h"
#include "toolkit/control.h"
#include "toolkit/gdi.h"
#include "toolkit/stdctrls.h"
#include "toolkit/wintext.h"

namespace {

// Wine's copy of the Western "MS Sans Serif" raster face (Debian's fonts-wine), as an English
// Windows has it: no Cyrillic letters, and raster faces get no font fallback.
constexpr const wchar_t* kWesternSansSerif = L"Z:\\usr\\share\\wine\\fonts\\sserife.fon";
constexpr const wchar_t* kSymbols = L"Z:\\usr\\share\\wine\\fonts\\marlett.ttf";

std::wstring FaceOf(HDC dc) {
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    return face;
}

// Before any font is made: each face is judged once per process.
TEST(Fonts, FacesWithoutCyrillicGiveWayAndTheControlsCaptionsDrawInFull) {
    ASSERT_GT(AddFontResourceExW(kWesternSansSerif, FR_PRIVATE, nullptr), 0) << "fonts-wine is not installed";
    ASSERT_GT(AddFontResourceExW(kSymbols, FR_PRIVATE, nullptr), 0);
    const std::wstring text =
        ToWide(FromWide(L"Имя узла: Пинговать каждые Очистить консоль! О программе Ёё"));
    struct Case {
        const wchar_t* face;
        BYTE charSet;
        bool drawsItself;  // the face as the system makes it for the record
    };
    const Case cases[] = {
        {L"MS Sans Serif", DEFAULT_CHARSET, false},  // the controls' face, raster, Western
        {L"MS Sans Serif", DEFAULT_CHARSET, false},  // again: the remembered choice
        {L"MS Sans Serif", ANSI_CHARSET, false},    {L"Marlett", SYMBOL_CHARSET, false},
        {L"DejaVu Sans", DEFAULT_CHARSET, true},  // has them: kept as asked
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Case& c : cases) {
        LOGFONTW lf{};
        lf.lfHeight = -11;
        lf.lfCharSet = c.charSet;
        wcsncpy(lf.lfFaceName, c.face, LF_FACESIZE - 1);
        HFONT plain = CreateFontIndirectW(&lf);
        HGDIOBJ old = SelectObject(dc, plain);
        const std::wstring plainFace = FaceOf(dc);
        EXPECT_EQ(FontCovers(dc, text), c.drawsItself) << FromWide(c.face) << " as " << FromWide(plainFace);

        HFONT made = CreateTextFont(lf);
        SelectObject(dc, made);
        EXPECT_TRUE(FontCovers(dc, text)) << FromWide(c.face) << " became " << FromWide(FaceOf(dc));
        EXPECT_EQ(FaceOf(dc) == plainFace, c.drawsItself) << FromWide(c.face);
        SelectObject(dc, old);
        DeleteObject(made);
        DeleteObject(plain);
    }

    // The controls' own fonts, through the toolkit.
    TControl* app = NewApplet("app");
    TControl* form = NewForm(app, "form");
    TControl* label = NewLabel(form, FromWide(L"Имя узла:"));
    TControl* button = NewButton(form, FromWide(L"Очистить консоль!"));
    ASSERT_TRUE(form->CreateWindow());
    for (TControl* c : {form, label, button}) {
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c->Handle, WM_GETFONT, 0, 0)));
        EXPECT_TRUE(FontCovers(dc, text)) << c->ClassName << " drawn with " << FromWide(FaceOf(dc));
        EXPECT_TRUE(FontCovers(dc, ToWide(c->GetCaption()))) << c->ClassName;
    }
    DeleteDC(dc);
    TObj::Free(app);
}

}  // namespace
