// What Wine forgives and Windows does not, shown with the pieces of a real Windows the tests can
// load: a raster face made for a Western code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "support/runerror.h"
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

// First, before any font is made: each face is judged once per process.
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

struct TTraps {
    uint16_t x87;
    uint32_t sse;
    bool operator==(const TTraps&) const = default;
};
TTraps Traps() {
    TTraps t{};
    asm volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(t.x87), "=m"(t.sse));
    return t;
}
TTraps seenInside{};
constexpr UINT kLook = WM_APP + 9;

bool LookAtTraps(TControl*, MSG& m, LRESULT&) {
    if (m.message == kLook) seenInside = Traps();
    return false;
}

TEST(ForeignCode, AFloatingPointFaultInAnotherModuleIsMaskedAndTheProgramsTrapsComeBack) {
    InstallErrorHandler();
    const TTraps own = Traps();
    ASSERT_EQ(own.x87 & 0x1F3F, 0x1332);
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    HMODULE foreign = LoadLibraryW((path.substr(0, path.rfind(L'\\') + 1) + L"foreign.dll").c_str());
    ASSERT_NE(foreign, nullptr);
    using TDivide = double (*)(double, double);
    auto divide =
        reinterpret_cast<TDivide>(reinterpret_cast<void*>(GetProcAddress(foreign, "ForeignDivide")));
    ASSERT_NE(divide, nullptr);

    TControl* app = NewApplet("app");
    TControl* form = NewForm(app, "form");
    form->AttachHandler(&LookAtTraps);
    ASSERT_TRUE(form->CreateWindow());
    struct Case {
        double a, b;
        int kind;  // what the masked result is: FP_INFINITE, FP_NAN
    };
    const Case cases[] = {{1.0, 0.0, FP_INFINITE}, {0.0, 0.0, FP_NAN}, {1e308, 1e-308, FP_INFINITE}};
    for (const Case& c : cases) {
        // The system's way: the fault is masked where it arose and the other code goes on.
        const double q = divide(c.a, c.b);
#if defined(__x86_64__)
        EXPECT_EQ(std::fpclassify(q), c.kind) << c.a << " / " << c.b;
#else
        (void)q;  // x87 traps at the next instruction: the quotient is never written
#endif
        EXPECT_EQ(Traps().x87 & 0x3F, 0x3F);
        // The program's own code has its traps again.
        seenInside = {};
        SendMessageW(form->Handle, kLook, 0, 0);
        EXPECT_TRUE(seenInside == own) << std::hex << seenInside.x87 << " " << seenInside.sse;
    }
    TObj::Free(app);
    RemoveErrorHandler();
    _fpreset();
    FreeLibrary(foreign);
}

// The library's misuse checks throw through the program's own helpers: each is an exception as any
// other, with the library's message where it has one. (One that escapes a window handler ends the
// program as 217: the fault build's "throw" run end to end.)
// Runtime values, so the compiler cannot see the misuse.
volatile long long misuseSize = -1;
volatile size_t misusePos = 3;
const char* volatile misuseNull = nullptr;

TEST(LibraryChecks, AMisuseThrowsAnExceptionWithTheLibrarysMessage) {
    struct Case {
        const char* what;
        void (*misuse)();
        const char* message;  // part of what() ("": none asked)
    };
    const Case cases[] = {
        {"substr past the end", [] { (void)std::string("ab").substr(misusePos); }, "basic_string"},
        {"at past the end", [] { (void)std::vector<int>(2).at(misusePos); }, "vector"},
        {"reserve past the maximum", [] { std::string().reserve(std::string().max_size() + misusePos - 2); },
         "basic_string"},
        {"string from null", [] { (void)std::string(misuseNull); }, "null"},
        {"array of negative size", [] { delete[] new int[misuseSize]; }, ""},
    };
    for (const Case& c : cases) {
        try {
            c.misuse();
            ADD_FAILURE() << c.what << ": nothing thrown";
        } catch (const std::exception& e) {
            EXPECT_NE(std::strstr(e.what(), c.message), nullptr) << c.what << ": " << e.what();
        }
    }
}

// A request that may fail gets null, so its caller's failure path is a real one: the handler that
// ends the program is for requests that must succeed, and must not take these.
TEST(Heap, ARequestThatMayFailGetsNullAfterTheErrorHandlerIsInstalled) {
    InstallErrorHandler();
    volatile size_t huge = SIZE_MAX / 2;
    char* block = new (std::nothrow) char[huge];
    EXPECT_EQ(block, nullptr);
    delete[] block;
    RemoveErrorHandler();
    _fpreset();
}

}  // namespace
