// The real echo service's side of the platform: the three calls of the ICMP service it makes, the
// system's by default. Windows only; included by _win32 files and Windows tests.
#pragma once

// Winsock before windows.h, the ICMP declarations after both.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include "components/kvping.h"

struct TIcmpCalls {
    decltype(&IcmpCreateFile) CreateFile;
    decltype(&IcmpSendEcho) SendEcho;
    decltype(&IcmpCloseHandle) CloseHandle;
};

// The system's calls, from the ICMP library in the system directory (null where it has none). Asked
// for at the first echo, so the library is loaded only then.
const TIcmpCalls& SystemIcmpCalls();
using TIcmpCallsSource = const TIcmpCalls& (*)();

// A service over the calls calls() answers, with handles of its own kept for reuse; never freed, as a
// worker may outlive anything. SystemEchoService() is the one over SystemIcmpCalls.
TEchoService& NewEchoService(TIcmpCallsSource calls);
