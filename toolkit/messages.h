// The program's own message numbers, all in one place so that no two meet. Private numbers are
// WM_APP and above: the system and the common controls use none of them. Windows only.
#pragma once

#include <windows.h>

#include <mmsystem.h>

// ---- The toolkit's controls (toolkit/control)

constexpr UINT kMsgCallProc = WM_APP + 0xFFF;  // runs GlobalProcHook(lParam, wParam)
constexpr UINT kMsgDestroyLater =
    WM_APP + 0x3003;                           // free the control (posted by the main window's last message)
constexpr UINT kMsgCommand = WM_APP + 0x3005;  // WM_COMMAND reflected to the child that sent it
constexpr UINT kMsgColorReflect = WM_APP + 0x3C00;  // added to WM_CTLCOLOR*: reflected to the child
constexpr UINT kMsgMediaNotify = MM_MCINOTIFY;      // the platform's, passed to MediaNotifyHook

// ---- Work handed back to a thread's home window (toolkit/homewindow)

constexpr UINT kMsgJobDone = WM_APP + 0x4A;  // a background job's ticket (toolkit/winthread)
constexpr UINT kMsgTick = WM_APP + 0x54;     // a timer event's serial (toolkit/mmtimer)
constexpr UINT kMsgRetire = WM_APP + 0x55;   // a home no user needs any more, from another thread
