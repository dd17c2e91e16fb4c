// TKVWin: the base of every window component. A component owns one toolkit control, keeps the
// properties the scheme gives it, and turns the control's events into outlets. The base never makes a
// window: a concrete component creates Control in its own InitControl and then runs the base
// InitControl, which applies the common properties and hooks the events.
//
// Lifecycle: construct with the parent control, set the properties, InitControl, AttachHint and
// AttachManager once every component exists, messages, destruction. Every control a component makes
// points back at it through its owner field (Tag), so that its form can find it again.
//
// Events arrive on the window thread; action entries and getters run there too (timer ticks are handed
// to the window thread), so no component takes a lock.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/event.h"
#include "runtime/tobject.h"
#include "toolkit/control.h"
#include "toolkit/dpi.h"
#include "toolkit/method.h"
#include "wincomponents/kvfont.h"
#include "wincomponents/kvhintmanager.h"

// A manager a component may be attached to (none in this program): attach and detach operations, or,
// without them, a reference count released by the component.
struct TKVManagerOps {
    TMethod<void(TControl*, int32_t, int32_t)> Attach;
    TMethod<void(TControl*)> Detach;
    int32_t RefCount = 0;
};

// Makes a caption control beside a component's control (none in this program): parent, the two
// parameters, the gap and the colour.
using TCaptionMaker = TControl* (*)(TControl* parent, int32_t param1, int32_t param2, int32_t gap,
                                    uint32_t color);

class TKVWin : public TObject {
public:
    explicit TKVWin(TControl* parent);
    ~TKVWin() override;

    TMethod<TControl*()> ControlQuery;
    uint8_t ControlGone = 0;
    TControl* ParentControl = nullptr;
    TControl* CaptionControl = nullptr;
    TOnMessage PrevMessageHandler;
    TMouseEventData LastMouse;
    int32_t KeyOverride = -1;
    THintTool* HintTool = nullptr;
    THintOps* HintLink = nullptr;
    TKVManagerOps* ManagerLink = nullptr;
    TKV_Event evMouseEnter;
    TKV_Event evMouseLeave;
    TControl* Control = nullptr;
    std::string LinkName;
    // Bounds in pixels at 96 dpi, parent client coordinates; the control gets them scaled to Dpi.
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    uint8_t Align = 0;
    int32_t TabOrder = 0;
    uint32_t Color = 0;  // TColor
    uint8_t Ctl3D = 2;   // 0 sunken edge, 1 flat, 2 as the control was made
    std::string Hint;
    TFontRec Font;
    uint8_t ParentFont = 0;
    uint8_t Transparent = 0;
    uint8_t Visible = 1;
    uint8_t Enabled = 1;
    int32_t Cursor = 0;  // IDC_ value; 0: the toolkit's default
    uint8_t MouseCapture = 0;
    uint8_t Flat = 0;
    uint8_t ParentKeys = 1;
    TCaptionMaker CaptionMaker = nullptr;
    int32_t CaptionGap = 0;
    uint32_t CaptionColor = 0;
    int32_t CaptionParam1 = 0, CaptionParam2 = 0;
    uint8_t BorderStyle = 0;  // with Ctl3D 0: 1 none, 2 static edge, 3 modal frame, 4 both
    int32_t ManagerParam1 = 0, ManagerParam2 = 0;
    TKV_Event evKeyDown;
    TKV_Event evKeyUp;
    TKV_Event evChar;
    TKV_Event evMouseDown;
    TKV_Event evMouseMove;
    TKV_Event evMouseUp;
    TKV_Event evMouseWheel;
    TKV_Event evSetFocus;
    TKV_Event evKillFocus;
    TKV_Event evDblClick;
    TKV_Event evResize;
    TKV_Event evShow;
    TKV_Event evHide;
    TKV_Event evMove;
    TKV_Event pinResizeWidth;
    TKV_Event pinResizeHeight;
    // The dpi the control is laid out for: its display's, read by InitControl.
    int32_t Dpi = kDesignDpi;

    // The sixteen operations the concrete components override.
    virtual void KeyDown(int32_t& key);
    virtual void KeyUp(int32_t& key);
    virtual void KeyChar(char& c);
    virtual void MouseDown(TMouseEventData& mouse);
    virtual void MouseMove(TMouseEventData& mouse);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void MouseUp(TMouseEventData& mouse);
    virtual void MouseWheel(TMouseEventData& mouse);
    // The message filter: true when handled, the result then in result.
    virtual bool WindowMessage(MSG& msg, LRESULT& result);
    virtual void ControlDestroyed();
    virtual void Resized();
    virtual void Shown();
    virtual void Hidden();
    virtual void InitControl();
    virtual TMethod<TControl*()>* ControlRef();

    // Lays the control out for another dpi (its form moved to another display): bounds and font scaled
    // from the design values again.
    virtual void ScaleTo(int32_t dpi);

    void AttachHint(THintOps* link);
    void AttachManager(TKVManagerOps* manager);

protected:
    // The font of the record (or the parent's), at Dpi.
    void ApplyFont(TControl* c);

private:
    // The parts of InitControl, in its order.
    void ApplyLook(TControl* c);
    RECT ScaledBounds() const;
    void ApplyTabOrder(TControl* c) const;
    void HookEvents(TControl* c);
    void MakeCaption(TControl* c);
    TControl* GetControl() { return Control; }
    void OnMouseDown(TControl* sender, TMouseEventData& mouse);
    void OnMouseMove(TControl* sender, TMouseEventData& mouse);
    void OnMouseUp(TControl* sender, TMouseEventData& mouse);
    void OnMouseWheel(TControl* sender, TMouseEventData& mouse);
    void OnDblClick(TControl* sender, TMouseEventData& mouse);
    void OnMouseEnter(TObj* sender);
    void OnMouseLeave(TObj* sender);
    void OnKeyDown(TControl* sender, int32_t& key, uint32_t shift);
    void OnKeyUp(TControl* sender, int32_t& key, uint32_t shift);
    void OnChar(TControl* sender, char& ch, uint32_t shift);
    void OnControlDestroy(TObj* sender);
    void OnResize(TObj* sender);
    void OnShow(TObj* sender);
    void OnHide(TObj* sender);
    void ResizeCorrection(WINDOWPOS& pos);
};
