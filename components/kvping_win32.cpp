// The echo engine's platform: Winsock 1.1 for the names, the ICMP service for the echo. Each request
// is one background job (toolkit/winthread): the look-up and the echo's wait run on a pooled worker,
// and the finished request is handed back to the engine on its own thread, from its message loop.
//
// A request keeps the socket library started while it works, so an engine that goes meanwhile (the
// program is closed during a look-up) does not pull the library from under it. ICMP handles are
// kept for reuse (opening one per echo costs about half an echo to loopback), one per echo that runs
// at once, and closed with the socket library. Everything a worker touches lives as long as the
// process: at exit a worker may still be waiting for a resolver that never answers. The ICMP service
// is not one of the system's known libraries: it is loaded from the system directory, never imported
// (see toolkit/syslib.h).

#include "components/kvping_win32.h"

#include <winternl.h>

#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "components/kvping.h"
#include "toolkit/syslib.h"
#include "toolkit/winlock.h"
#include "toolkit/winthread.h"

namespace {

// Room the service needs beyond the payload for an ICMP error message.
constexpr size_t kIcmpErrorRoom = 8;

// ICMP handles kept for reuse, one per echo that runs at once.
class TIcmpHandles {
public:
    explicit TIcmpHandles(TIcmpCallsSource calls) : calls_(calls) {}

    // Without the whole service there is no handle, which is a local failure.
    HANDLE Take() {
        {
            TLockScope locked(lock_);
            if (!idle_.empty()) {
                const HANDLE h = idle_.back();
                idle_.pop_back();
                return h;
            }
        }
        const TIcmpCalls& calls = Calls();
        if (calls.CreateFile == nullptr || calls.SendEcho == nullptr || calls.CloseHandle == nullptr)
            return INVALID_HANDLE_VALUE;
        return calls.CreateFile();
    }

    // usable: the handle still works. One taken before the socket library last stopped is closed.
    void GiveBack(HANDLE h, uint32_t generation, bool usable) {
        if (h == INVALID_HANDLE_VALUE) return;
        if (usable) {
            TLockScope locked(lock_);
            if (generation == generation_) {
                idle_.push_back(h);
                return;
            }
        }
        Calls().CloseHandle(h);
    }

    uint32_t Generation() {
        TLockScope locked(lock_);
        return generation_;
    }

    // With the socket library: the idle handles close now, the busy ones when they come back.
    void CloseIdle() {
        std::vector<HANDLE> idle;
        {
            TLockScope locked(lock_);
            ++generation_;
            idle.swap(idle_);
        }
        for (const HANDLE h : idle)
            Calls().CloseHandle(h);
    }

    const TIcmpCalls& Calls() const { return calls_(); }

private:
    const TIcmpCallsSource calls_;
    TLock lock_;
    std::vector<HANDLE> idle_;
    uint32_t generation_ = 0;
};

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

// On the worker, so the echo simply blocks for up to its timeout. 0 when a reply came back in time;
// a fault of this machine (no handle, no memory) is not the host's: the next echo tries again.
int32_t Echo(TIcmpHandles& handles, const TIPv4& address, uint16_t dataSize, uint32_t timeout,
             TEchoReply& reply) {
    // The platform's own reply record (40 bytes on 64-bit Windows, 28 on 32-bit), the echoed payload,
    // room for an ICMP error, and the IO_STATUS_BLOCK the service may also write there.
    const auto replySize =
        static_cast<DWORD>(sizeof(ICMP_ECHO_REPLY) + dataSize + kIcmpErrorRoom + sizeof(IO_STATUS_BLOCK));
    std::unique_ptr<unsigned char[]> request(new (std::nothrow) unsigned char[dataSize + 1]());
    std::unique_ptr<unsigned char[]> replyBuffer(new (std::nothrow) unsigned char[replySize]);
    const uint32_t generation = handles.Generation();
    const HANDLE icmp = handles.Take();
    bool ok = false;
    bool usable = icmp != INVALID_HANDLE_VALUE;  // the handle may serve the next echo
    if (request && replyBuffer && usable) {
        IPAddr destination;
        std::memcpy(&destination, address.data(), 4);
        ok = handles.Calls().SendEcho(icmp, destination, request.get(), dataSize, nullptr, replyBuffer.get(),
                                      replySize, timeout) != 0;
        if (!ok && GetLastError() == ERROR_INVALID_HANDLE) usable = false;  // the next echo opens a fresh one
    }
    if (ok) {
        const auto* record = reinterpret_cast<const ICMP_ECHO_REPLY*>(replyBuffer.get());
        std::memcpy(reply.Address.data(), &record->Address, 4);
        reply.Status = record->Status;
        reply.RoundTrip = record->RoundTripTime;
        reply.DataSize = record->DataSize;
    }
    handles.GiveBack(icmp, generation, usable);
    if (icmp == INVALID_HANDLE_VALUE || !request || !replyBuffer) return kPingNoSockets;
    return ok ? 0 : kPingNoAnswer;
}

class TEchoJob final : public TBackgroundJob {
public:
    TEchoJob(TEchoRequest* request, TIcmpHandles& handles) : request_(request), handles_(handles) {}
    ~TEchoJob() override { delete request_; }

    void Work() override {
        TEchoRequest& r = *request_;
        if (r.Failure != 0) return;
        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
            r.Failure = kPingNoSockets;
            return;
        }
        TIPv4 address{};
        r.Resolved = Resolve(r.Host, address);
        if (r.Resolved) {
            const int32_t failure = Echo(handles_, address, r.DataSize, r.Timeout, r.Reply);
            r.Answered = failure == 0;
            if (failure == kPingNoSockets) r.Failure = failure;
        }
        WSACleanup();
    }

    void Finish() override {
        TEchoRequest* r = Give();
        r->Done(r);
    }

    // The request leaves the job, which no longer frees it.
    TEchoRequest* Give() { return std::exchange(request_, nullptr); }

private:
    TEchoRequest* request_;
    TIcmpHandles& handles_;
};

class TWinEchoService final : public TEchoService {
public:
    explicit TWinEchoService(TIcmpCallsSource calls) : handles_(calls) {}

    bool StartSockets() override {
        WSADATA data;
        return WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }

    void StopSockets() override {
        handles_.CloseIdle();
        WSACleanup();
    }

    bool Send(TEchoRequest* request) override {
        auto* job = new (std::nothrow) TEchoJob(request, handles_);
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

private:
    TIcmpHandles handles_;
};

}  // namespace

const TIcmpCalls& SystemIcmpCalls() {
    static const auto* calls = new TIcmpCalls{
        SystemFunction<decltype(&IcmpCreateFile)>(L"iphlpapi.dll", "IcmpCreateFile"),
        SystemFunction<decltype(&IcmpSendEcho)>(L"iphlpapi.dll", "IcmpSendEcho"),
        SystemFunction<decltype(&IcmpCloseHandle)>(L"iphlpapi.dll", "IcmpCloseHandle"),
    };
    return *calls;
}

TEchoService& NewEchoService(TIcmpCallsSource calls) {
    return *new TWinEchoService(calls);
}

TEchoService& SystemEchoService() {
    static TEchoService& service = NewEchoService(&SystemIcmpCalls);
    return service;
}
