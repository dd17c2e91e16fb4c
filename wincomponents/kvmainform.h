// TKVMainForm: the component of a top-level window. The first one made creates the toolkit's
// application object and so becomes the program's main window: closing it ends the program (after
// pinCanClose had its say). It adds a caption, icon, border style, opacity, the first-show work,
// centring, the layout for its display's dpi (again when it moves to a display of another scale),
// activation outlets, evCreate just before the window is first shown, and optionally keeps
// its bounds in the registry ("Software\" + SaveKey) or in an INI file next to the program
// (SaveKey "name.ini\Section").
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/gdi.h"
#include "toolkit/list.h"
#include "wincomponents/kvwin.h"

// An element attached to a form (none in this program): its first and third operations are called with
// the form's control when it is attached.
struct TKVMenuOps {
    TMethod<void(TControl*)> Op1;
    TMethod<void(TControl*)> Op2;
    TMethod<void(TControl*)> Op3;
};

// What a form follows (none in this program): the first operation answers the followed control.
struct TKVFollowOps {
    TMethod<TControl*()> Followed;
};

class TKVMainForm : public TKVWin {
public:
    explicit TKVMainForm(TControl* parent);
    ~TKVMainForm() override;

    uint8_t OwnsApplication = 0;
    uint8_t FirstShowDone = 0;
    HGDIOBJ GdiHandle = nullptr;  // deleted with the form when set; nothing here sets it
    TControl* OwnerForm = nullptr;
    TKVMenuOps* MenuLink = nullptr;
    TBitmap* Background = nullptr;
    TKVFollowOps* FollowLink = nullptr;
    int32_t FollowOffsetX = 0, FollowOffsetY = 0;
    uint8_t DragByClient = 0;
    uint8_t AlphaBlend = 255;
    uint8_t WindowState = 0;            // at the first show: 0 normal, 1 minimised, 2 maximised
    TMethod<void(int32_t)> PlaceStore;  // 0 loads the bounds, 1 saves them
    std::string SaveKey;
    uint8_t ClientSize = 0;  // Width and Height are the client area's
    TMethod<void()> PlaceInit;
    TKV_Event pinCanClose;
    TKV_Event evActivate;
    TKV_Event evDeactivate;
    TKV_Event evCreate;
    TKV_Event evClose;

    void SetCaption(std::string_view text);
    void SetBorderStyle(int32_t style);  // 0 .. 9; larger values change nothing
    void SetIcon(HICON icon);
    void HideTaskButton(uint8_t flag);
    void CenterOnScreen();
    void SetMenuLink(TKVMenuOps* link);

    // Keeps the window's top-left corner.
    void ScaleTo(int32_t dpi) override;
    void MouseDown(TMouseEventData& mouse) override;
    bool WindowMessage(MSG& msg, LRESULT& result) override;
    void Shown() override;
    void InitControl() override;

    // Bounds storage, as PlaceStore calls it: 0 loads, 1 saves.
    void PlaceNowhere(int32_t save);
    void PlaceRegistry(int32_t save);
    void PlaceIni(int32_t save);

private:
    // The outer size at Dpi.
    SIZE OuterSize() const;
    // The window at at with its size for dpi, then every component on it.
    void Rescale(int32_t dpi, POINT at);
    bool CloseRequest(bool byUser);
    void PostInner();
    void StartUp();
    void OnShowFirst(TObj* sender);
    void OnPaint(TControl* sender, HDC dc);
};

// Process-wide state shared by all forms: the handles of forms that do not own the application, and
// the registered "inner message". Made at start-up; the first form makes them if nobody did.
void InitForms();
void DoneForms();
UINT InnerMessage();
TList* FormList();

// Start-up procedures registered while the scheme is built (or before main, by a static object); the
// run step calls them in order, once, after the scheme is built and its links are on.
void AddStartProc(TMethod<void()> proc);
void RunStartProcs();
