// The echo engine's platform: Winsock 1.1 for the names, the ICMP service for the echo. Each request
// is one background job (toolkit/winthread): the look-up and the echo's wait run on a pooled worker,
// and the finished request is handed back to the engine on its own thread, from its message loop.
//
// A request keeps the socket library started while it works, so an engine that goes meanwhile (the
// program is closed during a look-up) does not pull the library from under it. ICMP handles and
// their events are kept for reuse (opening one per echo costs about half an echo to loopback), one
// per echo that runs at once, and closed with the socket library. Everything a worker touches lives
// as long as the process: at exit a worker may still be waiting for a resolver that never answers.

// Winsock before windows.h, the ICMP declarations after both.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>
#include <winternl.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "components/kvping.h"
#include "toolkit/winthread.h"

namespace {

// How long past its own timeout the ICMP service gets to signal its event before it is cancelled.
constexpr DWORD kEchoGrace = 5000;
// Room the service needs beyond the payload for an ICMP error message.
constexpr size_t kIcmpErrorRoom = 8;

// One ICMP handle and the event its asynchronous echo signals.
struct TEchoSlot {
    HANDLE Icmp = INVALID_HANDLE_VALUE;
    HANDLE Event = nullptr;
    uint32_t Generation = 0;  // slots of an earlier start of the socket library are not reused
};

class TEchoSlots {
public:
    TEchoSlot Take() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!idle_.empty()) {
                TEchoSlot s = idle_.back();
                idle_.pop_back();
                return s;
            }
        }
        TEchoSlot s;
        s.Icmp = IcmpCreateFile();
        s.Event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        std::lock_guard<std::mutex> hold(lock_);
        s.Generation = generation_;
        return s;
    }

    // usable: the handle still works and the service let go of the event.
    void GiveBack(TEchoSlot s, bool usable) {
        if (usable && s.Icmp != INVALID_HANDLE_VALUE && s.Event != nullptr) {
            ResetEvent(s.Event);
            std::lock_guard<std::mutex> hold(lock_);
            if (s.Generation == generation_) {
                idle_.push_back(s);
                return;
            }
        }
        Close(s, usable);
    }

    // With the socket library: the idle slots close now, the busy ones when they come back.
    void CloseIdle() {
        std::vector<TEchoSlot> idle;
        {
            std::lock_guard<std::mutex> hold(lock_);
            ++generation_;
            idle.swap(idle_);
        }
        for (const TEchoSlot& s : idle)
            Close(s, true);
    }

private:
    static void Close(const TEchoSlot& s, bool settled) {
        if (s.Icmp != INVALID_HANDLE_VALUE) IcmpCloseHandle(s.Icmp);
        // An event the service may still signal is given up rather than closed and reused.
        if (s.Event != nullptr && settled) CloseHandle(s.Event);
    }

    std::mutex lock_;
    std::vector<TEchoSlot> idle_;
    uint32_t generation_ = 0;
};

// Never destroyed: a worker may outlive the program's static objects.
TEchoSlots& Slots() {
    static auto* slots = new TEchoSlots;
    return *slots;
}

// gethostbyname's entry lives in the calling thread's own storage, so the address is copied out.
bool Resolve(const std::string& host, TIPv4& address) {
    // A successful call need not clear the last-error code; a stale one must not read as a failure.
    SetLastError(0);
    const hostent* entry = gethostbyname(host.c_str());
    const bool ok = entry != nullptr && GetLastError() == 0 && entry->h_addrtype == AF_INET &&
                    entry->h_length == 4 && entry->h_addr_list[0] != nullptr;
    if (ok) std::memcpy(address.data(), entry->h_addr_list[0], 4);
    return ok;
}

bool Echo(const TIPv4& address, uint16_t dataSize, uint32_t timeout, TEchoReply& reply) {
    const DWORD replySize = static_cast<DWORD>(EchoReplyBufferSize(dataSize));
    std::unique_ptr<unsigned char[]> request(new (std::nothrow) unsigned char[dataSize + 1]());
    std::unique_ptr<unsigned char[]> replyBuffer(new (std::nothrow) unsigned char[replySize]);
    TEchoSlot slot = Slots().Take();
    bool ok = false;
    bool usable = true;   // the handle may serve the next echo
    bool settled = true;  // the service no longer writes into the reply buffer or signals the event
    if (request && replyBuffer && slot.Icmp != INVALID_HANDLE_VALUE && slot.Event != nullptr) {
        IPAddr destination;
        std::memcpy(&destination, address.data(), 4);
        const DWORD sent = IcmpSendEcho2(slot.Icmp, slot.Event, nullptr, nullptr, destination, request.get(),
                                         dataSize, nullptr, replyBuffer.get(), replySize, timeout);
        if (sent != 0) {
            ok = true;  // answered at once
        } else if (GetLastError() == ERROR_IO_PENDING) {
            const DWORD limit = timeout >= INFINITE - kEchoGrace ? INFINITE : timeout + kEchoGrace;
            if (WaitForSingleObject(slot.Event, limit) == WAIT_OBJECT_0) {
                ok = IcmpParseReplies(replyBuffer.get(), replySize) != 0;
            } else {
                // The service overran its own timeout: closing the handle cancels the request,
                // which then signals as well.
                IcmpCloseHandle(slot.Icmp);
                slot.Icmp = INVALID_HANDLE_VALUE;
                settled = WaitForSingleObject(slot.Event, kEchoGrace) == WAIT_OBJECT_0;
                usable = false;
            }
        } else if (GetLastError() == ERROR_INVALID_HANDLE) {
            usable = false;  // the next echo opens a fresh one
        }
    } else {
        usable = false;
    }
    if (ok) {
        const auto* record = reinterpret_cast<const ICMP_ECHO_REPLY*>(replyBuffer.get());
        std::memcpy(reply.Address.data(), &record->Address, 4);
        reply.Status = record->Status;
        reply.RoundTrip = record->RoundTripTime;
        reply.DataSize = record->DataSize;
    }
    if (!settled) {
        // A request the service never let go of may still write into its buffers and signal its
        // event: they are given up rather than freed or reused.
        (void)request.release();
        (void)replyBuffer.release();
    }
    Slots().GiveBack(slot, usable && settled);
    return ok;
}

class TEchoJob final : public TBackgroundJob {
public:
    explicit TEchoJob(TEchoRequest* request) : request_(request) {}
    ~TEchoJob() override { delete request_; }

    void Work() override {
        TEchoRequest& r = *request_;
        if (r.Failure != 0) return;
        WSADATA data;
        const bool sockets = WSAStartup(MAKEWORD(1, 1), &data) == 0;
        TIPv4 address{};
        r.Resolved = Resolve(r.Host, address);
        r.Answered = r.Resolved && Echo(address, r.DataSize, r.Timeout, r.Reply);
        if (sockets) WSACleanup();
    }

    void Finish() override {
        TEchoRequest* r = Give();
        r->Done(r);
    }

    // The request leaves the job, which no longer frees it.
    TEchoRequest* Give() { return std::exchange(request_, nullptr); }

private:
    TEchoRequest* request_;
};

class TWinEchoService final : public TEchoService {
public:
    bool StartSockets() override {
        WSADATA data;
        return WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }

    void StopSockets() override {
        Slots().CloseIdle();
        WSACleanup();
    }

    bool Send(TEchoRequest* request) override {
        auto* job = new (std::nothrow) TEchoJob(request);
        if (job == nullptr) return false;
        request->Ticket = job;
        if (StartBackground(job)) return true;
        request->Ticket = nullptr;
        job->Give();  // the request stays the caller's
        delete job;
        return false;
    }

    void Abandon(TEchoRequest* request) override {
        AbandonBackground(static_cast<TEchoJob*>(request->Ticket));
    }
};

}  // namespace

size_t EchoReplyBufferSize(uint16_t dataSize) {
    // The platform's own reply record (40 bytes on 64-bit Windows, 28 on 32-bit), the echoed payload,
    // room for an ICMP error, and the IO_STATUS_BLOCK the asynchronous echo also writes on Windows.
    return sizeof(ICMP_ECHO_REPLY) + dataSize + kIcmpErrorRoom + sizeof(IO_STATUS_BLOCK);
}

TEchoService& SystemEchoService() {
    static auto* service = new TWinEchoService;
    return *service;
}
