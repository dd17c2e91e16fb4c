// The standard controls: button, edit, static text and rich edit, each a TControl over the system
// class, with the kind's notification codes, alignment styles and size-to-text margins. Windows only.
//
// Notifications reach a control's events through the command-control handler (below); a
// rich edit's selection and link notifications come as WM_NOTIFY, which its parent passes on to the
// rich edit's own handlers here.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "toolkit/control.h"

// A child standard control: NewControl, then the kind's record, the style (OR clip siblings and
// children), tab stop and TabOrder, the client edge for 3-D, a process-wide CtlId from 0x8000, and
// the command-control handler. ctl3D is the kind's 3-D flag, passed to NewControl (edits and rich
// edits 1, buttons and labels 0).
TControl* NewCommandControl(TControl* parent, std::string_view className, DWORD style,
                            const TNotifyRec& notify, bool ctl3D = false);

// The handler NewCommandControl attaches: focus bookkeeping, reflected notifications as events,
// reflected colours.
bool CommandControlHandler(TControl* self, MSG& msg, LRESULT& result);

// Options of NewEditbox and NewRichEdit, bit 0 first.
constexpr uint32_t eoNoHScroll = 0x1;
constexpr uint32_t eoNoVScroll = 0x2;
constexpr uint32_t eoLowercase = 0x4;
constexpr uint32_t eoMultiline = 0x8;
constexpr uint32_t eoNoHideSel = 0x10;
constexpr uint32_t eoOemConvert = 0x20;
constexpr uint32_t eoPassword = 0x40;
constexpr uint32_t eoReadonly = 0x80;
constexpr uint32_t eoUpperCase = 0x100;
constexpr uint32_t eoWantReturn = 0x200;
constexpr uint32_t eoWantTab = 0x400;
constexpr uint32_t eoNumber = 0x800;

// The style bits the options give an edit (rich: a rich edit), before the kind's base style.
DWORD EditOptionStyle(uint32_t options, bool rich);

TControl* NewButton(TControl* parent, std::string_view caption);
TControl* NewEditbox(TControl* parent, uint32_t options);
TControl* NewLabel(TControl* parent, std::string_view caption);
// Loads the rich-edit library once per process; the control is made (with its window) even when no
// library loads, and then simply has no window.
// The most text a rich edit is given room for, set on every one made: the control's default would take
// 32,767 characters and silently drop every later line.
inline constexpr int32_t kRichEditTextLimit = 0x7FFFFFFE;
TControl* NewRichEdit(TControl* parent, uint32_t options);

// 0 left, 1 right, 2 centre; other values change nothing.
void SetTextAlign(TControl* control, uint8_t align);
// Sizes the control to its caption now and whenever the caption or font changes; off stops that.
void SetAutoSize(TControl* control, bool on);

// A text that names a control for the accessibility interfaces without the control drawing it (a
// control that paints itself, such as a lamp): kept as its window text, where a screen reader reads
// the name, and each change announced (EVENT_OBJECT_NAMECHANGE).
void SetAccessibleName(TControl* control, std::string_view text);

// Rich-edit link events: setting one turns the control's link detection on (off when both are
// unset). LinkText holds the link's text when they are called.
void SetOnLink(TControl* richEdit, TOnEvent event);
void SetOnMouseOverLink(TControl* richEdit, TOnEvent event);

// The rich-edit library: the first of "RICHED20.DLL", "RICHED32.DLL", "RICHED.DLL" that load gives
// it; the class is "RichEdit20W" with the first, "RichEdit" otherwise (also when none loads: Module
// is then null). load is LoadSystemLibrary in the program.
struct TRichEditLibrary {
    HMODULE Module = nullptr;
    const char* ClassName = nullptr;
};
TRichEditLibrary LoadRichEditLibrary(HMODULE (*load)(const wchar_t* name));
// The process's library, loaded by the first call.
const TRichEditLibrary& RichEditLibrary();
