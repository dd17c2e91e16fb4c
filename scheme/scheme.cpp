#include "scheme/scheme.h"

#include <string_view>

#include "support/check.h"
#include "support/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/navigation.h"

TClassMainForm_4051E30* Scheme = nullptr;

namespace {

constexpr uint32_t kButtonFace = SchemeSysColor(COLOR_BTNFACE);
constexpr uint32_t kWindowBack = SchemeSysColor(COLOR_WINDOW);
constexpr std::string_view kTimeFormat = "D W:M:Y  h:m:s";
constexpr std::string_view kHost = "localhost";

// What the scheme gives every window component besides its own properties.
struct TWinLook {
    int32_t Left, Top, Width, Height;
    uint32_t Color;  // 0: keep the colour taken from the parent (buttons)
    uint8_t Ctl3D;
    std::string_view Hint = {};
};

template <class T>
T* Window(TControl* parent, const TWinLook& look) {
    T* w = new T(parent);
    w->Left = look.Left;
    w->Top = look.Top;
    w->Width = look.Width;
    w->Height = look.Height;
    w->Align = 0;
    if (look.Color != 0) w->Color = look.Color;
    w->Font =
        TFontRec{.Name = "MS Sans Serif", .Size = 8, .Style = 0, .Color = 0, .CharSet = DEFAULT_CHARSET};
    w->ParentFont = 0;
    w->Visible = 1;
    w->Enabled = 1;
    w->Cursor = 0;
    w->TabOrder = 0;
    w->Ctl3D = look.Ctl3D;
    w->BorderStyle = 0;
    w->LinkName.clear();
    w->Hint = look.Hint;
    w->ManagerParam1 = 0;
    w->ManagerParam2 = 0;
    return w;
}

// Labels, edits and the log make no caption control; the group keeps its values all the same.
void NoCaption(TKVWin* w, int32_t gap = 4) {
    w->CaptionMaker = nullptr;
    w->CaptionGap = gap;
    w->CaptionColor = kButtonFace;
    w->CaptionParam1 = 0;
    w->CaptionParam2 = 0;
}

TKVLabel* Label(TControl* parent, const TWinLook& look, std::string_view caption) {
    TKVLabel* l = Window<TKVLabel>(parent, look);
    NoCaption(l);
    l->Transparent = 0;
    l->Caption = caption;
    l->AutoSize(true);
    l->Alignment(0);
    l->HoverColor = 0;
    l->HoverUnderline = 0;
    l->InitControl();
    return l;
}

TKVEdit* Edit(TControl* parent, const TWinLook& look, int32_t gap, std::string_view text, int32_t maxLength) {
    TKVEdit* e = Window<TKVEdit>(parent, look);
    NoCaption(e, gap);
    e->Text = text;
    e->Alignment = 0;
    e->TextSource = MakeMethod<&TKVEdit::ReadText>(e);
    e->Password = 0;
    e->ReadOnly = 0;
    e->MaxLength = maxLength;
    e->ClearAfterEnter = 1;
    e->InitControl();
    return e;
}

TKVButton* Button(TControl* parent, const TWinLook& look, std::string_view caption) {
    TKVButton* b = Window<TKVButton>(parent, look);
    b->Caption = caption;
    b->Flat = 0;
    b->Default = 0;
    b->InitControl();
    return b;
}

// The lamp's colours, and its state in words for a screen reader.
TKVLED* Led(TControl* parent, const TWinLook& look, uint32_t onColor, uint32_t offColor,
            std::string_view onText, std::string_view offText) {
    TKVLED* l = Window<TKVLED>(parent, look);
    l->OnText = onText;
    l->OffText = offText;
    l->Shape = 0;
    l->Bevel = 1;
    l->OnColor = onColor;
    l->OffColor = offColor;
    l->LightColor = 0xFFFFFF;
    l->State = 0;
    l->InitControl();
    return l;
}

TKVStrCatDelim* Joiner(std::string_view str1, std::string_view str2) {
    auto* j = new TKVStrCatDelim;
    j->Str1 = str1;
    j->Delimiter.clear();
    j->Str2 = str2;
    return j;
}

TKVTime* Clock() {
    auto* t = new TKVTime;
    t->Format = kTimeFormat;
    return t;
}

TKVHub* Hub(uint8_t inputs, uint8_t outputs) {
    auto* h = new TKVHub;
    h->InCount = inputs;
    h->SetOutCount(outputs);
    return h;
}

// A box with one OK button.
TKVMessage* Box(TMessageBoxService& service, std::string_view text, std::string_view caption, uint8_t icon,
                uint8_t defaultButton) {
    auto* m = new TKVMessage(service);
    m->Message = text;
    m->Caption = caption;
    m->Buttons = 0;
    m->Icon = icon;
    m->DefaultButton = defaultButton;
    return m;
}

TKVMemory* Memory() {
    auto* m = new TKVMemory;
    m->SetDefault(IntData(0));
    return m;
}

}  // namespace

template <class T>
T* TClassMainForm_4051E30::Made(T* component) {
    EM_CHECK(count_ < kComponents);
    made_[count_++] = component;
    return component;
}

TClassMainForm_4051E30::TClassMainForm_4051E30(const TSchemeServices& services) {
    Scheme = this;
    MakeComponents(services);
    MakeLinks();
    Finish();
}

void TClassMainForm_4051E30::MakeComponents(const TSchemeServices& services) {
    Form = Made(Window<TKVMainForm>(
        nullptr, {.Left = 0, .Top = 0, .Width = 420, .Height = 374, .Color = kButtonFace, .Ctl3D = 1}));
    Form->AlphaBlend = 255;
    Form->SetCaption(Cp1251("Эхометр 1.0"));
    Form->SetBorderStyle(1);
    Form->WindowState = 0;
    Form->SetIcon(LoadIconW(GetModuleHandleW(nullptr), L"ICON0"));
    Form->HideTaskButton(0);
    Form->DragByClient = 0;
    Form->ParentKeys = 1;
    Form->SaveKey.clear();
    Form->MouseCapture = 0;
    Form->ClientSize = 0;
    Form->PlaceInit = MakeMethod<&TKVMainForm::CenterOnScreen>(Form);
    Form->FollowOffsetX = 0;
    Form->FollowOffsetY = 0;
    Form->InitControl();
    TControl* const p = Form->Control;

    Ping = Made(new TKVPing(*services.Echo));
    Ping->Host = kHost;
    Ping->DataSize = 128;
    Ping->Timeout = 1000;

    LblHost =
        Made(Label(p, {.Left = 10, .Top = 15, .Width = 55, .Height = 17, .Color = kButtonFace, .Ctl3D = 1},
                   Cp1251("Имя узла:")));
    EditHost = Made(Edit(p,
                         {.Left = 65,
                          .Top = 15,
                          .Width = 225,
                          .Height = 20,
                          .Color = kWindowBack,
                          .Ctl3D = 0,
                          .Hint = Cp1251("Домен или IP-адрес (без http!!!!!)")},
                         4, kHost, 0));
    BtnPing =
        Made(Button(p, {.Left = 300, .Top = 15, .Width = 60, .Height = 20, .Color = 0, .Ctl3D = 1}, "GO"));
    LblStatus =
        Made(Label(p, {.Left = 10, .Top = 75, .Width = 75, .Height = 17, .Color = kButtonFace, .Ctl3D = 1},
                   Cp1251("Статус запроса")));

    Log = Made(Window<TKVRichEdit>(
        p, {.Left = 10, .Top = 100, .Width = 390, .Height = 205, .Color = kWindowBack, .Ctl3D = 1}));
    NoCaption(Log);
    Log->Text.clear();
    Log->AddMode = 0;
    Log->ScrollBars = 2;
    Log->ReadOnly = 1;
    Log->NewLine = 1;
    Log->WordTracking = 0;
    Log->WantTab = 0;
    Log->InitControl();

    CatRtt = Made(Joiner("", Cp1251(" мсек (")));
    CatSize = Made(Joiner(Cp1251("Обменн данными размером "), Cp1251(" байт, время ответа - ")));
    TimeReply = Made(Clock());
    CatReply = Made(Joiner("(", ")"));
    CatTimeout = Made(Joiner(Cp1251("Хост не ответил вовремя - "), ""));
    TimeTimeout = Made(Clock());
    HubLog = Made(Hub(4, 1));
    MemTimeout = Made(Memory());
    MemReply = Made(Memory());
    HubFail = Made(Hub(1, 2));
    LedHost = Made(Led(p,
                       {.Left = 370,
                        .Top = 15,
                        .Width = 25,
                        .Height = 25,
                        .Color = kButtonFace,
                        .Ctl3D = 1,
                        .Hint = Cp1251("Доступность ресурса")},
                       0x0000FF, 0x000080, Cp1251("есть ответ"), Cp1251("нет ответа")));
    HubReply = Made(Hub(1, 2));
    EditInterval = Made(Edit(p,
                             {.Left = 125,
                              .Top = 45,
                              .Width = 36,
                              .Height = 20,
                              .Color = kWindowBack,
                              .Ctl3D = 0,
                              .Hint = Cp1251("1-999 секунд")},
                             3, "", 3));

    Timer = Made(new TKVMMTimer(*services.Timer));
    Timer->SetResolution(1);
    Timer->SetInterval(1000);
    Timer->SetEnable(false);
    Timer->SetCount(0);

    LblEvery =
        Made(Label(p, {.Left = 10, .Top = 45, .Width = 110, .Height = 17, .Color = kButtonFace, .Ctl3D = 1},
                   Cp1251("Пинговать каждые")));
    LblSeconds =
        Made(Label(p, {.Left = 170, .Top = 45, .Width = 39, .Height = 17, .Color = kButtonFace, .Ctl3D = 1},
                   Cp1251("секунд")));
    BtnStart =
        Made(Button(p, {.Left = 230, .Top = 45, .Width = 60, .Height = 20, .Color = 0, .Ctl3D = 1}, "GO"));
    HubPing = Made(Hub(2, 1));
    BtnStop =
        Made(Button(p, {.Left = 300, .Top = 45, .Width = 60, .Height = 20, .Color = 0, .Ctl3D = 1}, "STOP"));

    MathMs = Made(new TKVMath);
    MathMs->Operation = 2;
    MathMs->Op1 = 0.0;
    MathMs->Op2 = 1000.0;
    MathMs->ResultType = 1;
    MathMs->SetDefault(0.0);
    MathMs->SetAngleMode(false);

    CatEvery = Made(Joiner(Cp1251("Пингуем узел каждые "), Cp1251(" мсек (")));
    HubStart = Made(Hub(1, 2));

    IfZero = Made(new TPeriodIf_else);
    IfZero->Type = kCompareEqual;
    IfZero->Op2 = IntData(0);

    MsgError = Made(Box(*services.Box,
                        Cp1251("Ну нельзя сюда ставить менее 1 секунды. Вы что, таки хотите устроить дудос?"),
                        Cp1251("Ошибка"), 1, 0));

    HubError = Made(Hub(1, 2));
    CatOne = Made(Joiner("", "1"));
    LedCycle = Made(Led(p,
                        {.Left = 370,
                         .Top = 45,
                         .Width = 25,
                         .Height = 25,
                         .Color = kButtonFace,
                         .Ctl3D = 1,
                         .Hint = Cp1251("Статус цикловой операции")},
                        0x00FF00, 0x808000, Cp1251("запущена"), Cp1251("остановлена")));
    HubReset = Made(Hub(2, 2));
    CatStop = Made(Joiner(Cp1251("Нажата кнопка \"стоп\" ("), ")"));
    TimeStop = Made(Clock());
    HubStop = Made(Hub(1, 3));
    TimeStart = Made(Clock());
    CatStart = Made(Joiner("", ")"));
    HubStarted = Made(Hub(1, 2));
    BtnClear = Made(Button(p, {.Left = 10, .Top = 315, .Width = 285, .Height = 20, .Color = 0, .Ctl3D = 1},
                           Cp1251("Очистить консоль!")));
    BtnAbout = Made(Button(p, {.Left = 305, .Top = 315, .Width = 95, .Height = 20, .Color = 0, .Ctl3D = 1},
                           Cp1251("О программе")));

    MsgAbout = Made(Box(*services.Box,
                        Cp1251("Эхометр 1.0, сделано в Kovra.\r\n\r\nПрограмма-эхометр, которая служит для "
                               "пингования \r\nзаданного ресурса в течении определённого времени. "),
                        "", 4, 2));

    HubRefused = Made(Hub(1, 2));
    MsgRefused = Made(Box(*services.Box,
                          Cp1251("Система не дала таймер с таким периодом: пинговать по циклу не получится."),
                          Cp1251("Ошибка"), 1, 0));
}

// The link table, one row a line in the order the links are made: outlet or pin, then the entry it
// names and the index.
void TClassMainForm_4051E30::MakeLinks() {
    Form->evCreate = MakeEvent<&TKVHub::actIn>(HubReset, 1);
    Ping->evReply = MakeEvent<&TKVHub::actIn>(HubReply, 0);
    Ping->evError = MakeEvent<&TKVHub::actIn>(HubFail, 0);
    Ping->pinHost = MakeEvent<&TKVEdit::getText>(EditHost, 0);
    BtnPing->evClick = MakeEvent<&TKVHub::actIn>(HubPing, 0);
    CatRtt->evResult = MakeEvent<&TKVStrCatDelim::actStrCat>(CatReply, 0);
    CatRtt->pinStr1 = MakeEvent<&TKVStrCatDelim::getResult>(CatSize, 0);
    CatRtt->pinDelimiter = MakeEvent<&TKVPing::getRoundTrip>(Ping, 0);
    CatSize->evResult = MakeEvent<&TKVStrCatDelim::actStrCat>(CatRtt, 0);
    CatSize->pinDelimiter = MakeEvent<&TKVPing::getReplySize>(Ping, 1);
    CatReply->evResult = MakeEvent<&TKVMemory::actValue>(MemReply, 0);
    CatReply->pinStr1 = MakeEvent<&TKVStrCatDelim::getResult>(CatRtt, 0);
    CatReply->pinDelimiter = MakeEvent<&TKVTime::getTime>(TimeReply, 0);
    CatTimeout->evResult = MakeEvent<&TKVMemory::actValue>(MemTimeout, 0);
    CatTimeout->pinDelimiter = MakeEvent<&TKVTime::getTime>(TimeTimeout, 0);
    HubLog->evOut[0] = MakeEvent<&TKVRichEdit::actAdd>(Log, 0);
    MemTimeout->evData = MakeEvent<&TKVHub::actIn>(HubLog, 0);
    MemTimeout->pinData = MakeEvent<&TKVStrCatDelim::getResult>(CatTimeout, 0);
    MemReply->evData = MakeEvent<&TKVHub::actIn>(HubLog, 1);
    MemReply->pinData = MakeEvent<&TKVStrCatDelim::getResult>(CatReply, 0);
    HubFail->evOut[0] = MakeEvent<&TKVStrCatDelim::actStrCat>(CatTimeout, 0);
    HubFail->evOut[1] = MakeEvent<&TKVLED::actOff>(LedHost, 1);
    HubReply->evOut[0] = MakeEvent<&TKVLED::actOn>(LedHost, 2);
    HubReply->evOut[1] = MakeEvent<&TKVStrCatDelim::actStrCat>(CatSize, 0);
    EditInterval->evChange = MakeEvent<&TKVMath::actCalc>(MathMs, 0);
    Timer->evTimer = MakeEvent<&TKVHub::actIn>(HubPing, 1);
    BtnStart->evClick = MakeEvent<&TKVHub::actIn>(HubStart, 0);
    HubPing->evOut[0] = MakeEvent<&TKVPing::actPing>(Ping, 0);
    BtnStop->evClick = MakeEvent<&TKVHub::actIn>(HubStop, 0);
    MathMs->evResult = MakeEvent<&TPeriodIf_else::actCompare>(IfZero, 0);
    CatEvery->evResult = MakeEvent<&TKVStrCatDelim::actStrCat>(CatStart, 0);
    CatEvery->pinDelimiter = MakeEvent<&TKVMath::getResult>(MathMs, 0);
    HubStart->evOut[0] = MakeEvent<&TKVStrCatDelim::actStrCat>(CatEvery, 0);
    HubStart->evOut[1] = MakeEvent<&TKVMMTimer::actStart>(Timer, 0);
    IfZero->evTrue = MakeEvent<&TKVHub::actIn>(HubError, 0);
    IfZero->evFalse = MakeEvent<&TKVMMTimer::actInterval>(Timer, 2);
    HubError->evOut[0] = MakeEvent<&TKVMessage::actMessage>(MsgError, 0);
    HubError->evOut[1] = MakeEvent<&TKVHub::actIn>(HubReset, 0);
    CatOne->evResult = MakeEvent<&TKVEdit::actText>(EditInterval, 0);
    HubReset->evOut[1] = MakeEvent<&TKVStrCatDelim::actStrCat>(CatOne, 0);
    CatStop->evResult = MakeEvent<&TKVHub::actIn>(HubLog, 3);
    CatStop->pinDelimiter = MakeEvent<&TKVTime::getTime>(TimeStop, 0);
    HubStop->evOut[0] = MakeEvent<&TKVStrCatDelim::actStrCat>(CatStop, 0);
    HubStop->evOut[1] = MakeEvent<&TKVMMTimer::actStop>(Timer, 1);
    HubStop->evOut[2] = MakeEvent<&TKVLED::actOff>(LedCycle, 1);
    CatStart->evResult = MakeEvent<&TKVHub::actIn>(HubStarted, 0);
    CatStart->pinStr1 = MakeEvent<&TKVStrCatDelim::getResult>(CatEvery, 0);
    CatStart->pinDelimiter = MakeEvent<&TKVTime::getTime>(TimeStart, 0);
    HubStarted->evOut[0] = MakeEvent<&TKVHub::actIn>(HubLog, 2);
    HubStarted->evOut[1] = MakeEvent<&TKVLED::actOn>(LedCycle, 2);
    BtnClear->evClick = MakeEvent<&TKVRichEdit::actClear>(Log, 1);
    BtnAbout->evClick = MakeEvent<&TKVMessage::actMessage>(MsgAbout, 0);
    Timer->evError = MakeEvent<&TKVHub::actIn>(HubRefused, 0);
    HubRefused->evOut[0] = MakeEvent<&TKVLED::actOff>(LedCycle, 1);
    HubRefused->evOut[1] = MakeEvent<&TKVMessage::actMessage>(MsgRefused, 0);
}

void TClassMainForm_4051E30::Finish() {
    Form->AttachHint(nullptr);
    Form->AttachManager(nullptr);
    Form->SetMenuLink(nullptr);
    Form->FollowLink = nullptr;
    TKVWin* const windows[] = {LblHost,  EditHost,   BtnPing,  LblStatus, Log,      LedHost,  EditInterval,
                               LblEvery, LblSeconds, BtnStart, BtnStop,   LedCycle, BtnClear, BtnAbout};
    for (TKVWin* w : windows) {
        w->AttachHint(nullptr);
        w->AttachManager(nullptr);
    }
    InstallTabNavigation(Form->Control);
}

TClassMainForm_4051E30::~TClassMainForm_4051E30() {
    while (count_ > 0) {
        delete made_[--count_];
        made_[count_] = nullptr;
    }
    if (Scheme == this) Scheme = nullptr;
}
