// The echo engine's platform: Winsock 1.1 for the names, the ICMP service for the echo. Neither
// blocking step holds the window thread: a name is looked up on a pooled worker and the echo is sent
// with an event, and the calling thread pumps messages until either is done.
//
// One ICMP handle serves every echo while the socket library is up, nested echoes included (each has
// its own event and buffers): opening and closing one per echo costs about half an echo to
// loopback. It is closed with the socket library, when the last engine goes.

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
#include <vector>

#include "components/kvping.h"
#include "toolkit/winthread.h"

namespace {

// How long past its own timeout the ICMP service gets to signal its event before it is cancelled.
constexpr DWORD kEchoGrace = 5000;
// Room the service needs beyond the payload for an ICMP error message.
constexpr size_t kIcmpErrorRoom = 8;

struct TResolveJob {
    const std::string* host;
    TIPv4 address{};
    bool ok = false;
};

// gethostbyname's entry lives in the calling thread's own storage, so the job copies the address
// out before it returns.
void ResolveNow(TResolveJob& job) {
    // A successful call need not clear the last-error code; a stale one must not read as a failure.
    SetLastError(0);
    const hostent* entry = gethostbyname(job.host->c_str());
    job.ok = entry != nullptr && GetLastError() == 0 && entry->h_addrtype == AF_INET &&
             entry->h_length == 4 && entry->h_addr_list[0] != nullptr;
    if (job.ok) std::memcpy(job.address.data(), entry->h_addr_list[0], 4);
}

class TWinEchoService final : public TEchoService {
public:
    bool StartSockets() override {
        WSADATA data;
        return WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }

    void StopSockets() override {
        StopWorkerThreads();
        std::vector<HANDLE> events;
        {
            std::lock_guard<std::mutex> hold(lock_);
            events.swap(idleEvents_);
        }
        CloseIcmp(icmp_);
        for (HANDLE e : events)
            CloseHandle(e);
        WSACleanup();
    }

    bool Resolve(const std::string& host, TIPv4& address) override {
        TResolveJob job{&host};
        // A dotted quad is answered from the text itself, without a lookup to wait for.
        if (IsDottedQuad(host)) {
            ResolveNow(job);
        } else {
            RunOffThread([](void* arg) { ResolveNow(*static_cast<TResolveJob*>(arg)); }, &job);
        }
        address = job.address;
        return job.ok;
    }

    bool Echo(const TIPv4& address, uint16_t dataSize, uint32_t timeout, TEchoReply& reply) override {
        const DWORD replySize = static_cast<DWORD>(EchoReplyBufferSize(dataSize));
        std::unique_ptr<unsigned char[]> request(new (std::nothrow) unsigned char[dataSize + 1]());
        std::unique_ptr<unsigned char[]> replyBuffer(new (std::nothrow) unsigned char[replySize]);
        HANDLE icmp = OpenIcmp();
        HANDLE event = TakeEvent();
        bool ok = false;
        bool settled = true;  // the service no longer writes into the reply buffer or signals the event
        if (request && replyBuffer && icmp != INVALID_HANDLE_VALUE && event != nullptr) {
            IPAddr destination;
            std::memcpy(&destination, address.data(), 4);
            const DWORD sent = IcmpSendEcho2(icmp, event, nullptr, nullptr, destination, request.get(),
                                             dataSize, nullptr, replyBuffer.get(), replySize, timeout);
            if (sent != 0) {
                ok = true;  // answered at once
            } else if (GetLastError() == ERROR_IO_PENDING) {
                const DWORD limit = timeout >= INFINITE - kEchoGrace ? INFINITE : timeout + kEchoGrace;
                if (PumpingWait(event, limit) == TWaitResult::Signalled) {
                    ok = IcmpParseReplies(replyBuffer.get(), replySize) != 0;
                } else {
                    // The service overran its own timeout: closing the handle cancels the request,
                    // which then signals as well.
                    CloseIcmp(icmp);
                    settled = WaitForSingleObject(event, kEchoGrace) == WAIT_OBJECT_0;
                }
            } else if (GetLastError() == ERROR_INVALID_HANDLE) {
                CloseIcmp(icmp);  // the next echo opens a fresh one
            }
        }
        if (ok) {
            const auto* record = reinterpret_cast<const ICMP_ECHO_REPLY*>(replyBuffer.get());
            std::memcpy(reply.Address.data(), &record->Address, 4);
            reply.Status = record->Status;
            reply.RoundTrip = record->RoundTripTime;
            reply.DataSize = record->DataSize;
        }
        if (settled) {
            GiveBackEvent(event);
        } else {
            // A request the service never let go of may still write into its buffers and signal its
            // event: they are given up rather than freed or reused.
            (void)request.release();
            (void)replyBuffer.release();
        }
        return ok;
    }

private:
    HANDLE OpenIcmp() {
        std::lock_guard<std::mutex> hold(lock_);
        if (icmp_ == INVALID_HANDLE_VALUE) icmp_ = IcmpCreateFile();
        return icmp_;
    }

    // Closes the shared handle if it is still this one.
    void CloseIcmp(HANDLE icmp) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (icmp == INVALID_HANDLE_VALUE || icmp != icmp_) return;
            icmp_ = INVALID_HANDLE_VALUE;
        }
        IcmpCloseHandle(icmp);
    }

    HANDLE TakeEvent() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!idleEvents_.empty()) {
                HANDLE e = idleEvents_.back();
                idleEvents_.pop_back();
                return e;
            }
        }
        return CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }

    void GiveBackEvent(HANDLE event) {
        if (event == nullptr) return;
        ResetEvent(event);
        std::lock_guard<std::mutex> hold(lock_);
        idleEvents_.push_back(event);
    }

    std::mutex lock_;
    HANDLE icmp_ = INVALID_HANDLE_VALUE;
    std::vector<HANDLE> idleEvents_;  // one per echo that may run at once, nested ones included
};

}  // namespace

size_t EchoReplyBufferSize(uint16_t dataSize) {
    // The platform's own reply record (40 bytes on 64-bit Windows, 28 on 32-bit), the echoed payload,
    // room for an ICMP error, and the IO_STATUS_BLOCK the asynchronous echo also writes on Windows.
    return sizeof(ICMP_ECHO_REPLY) + dataSize + kIcmpErrorRoom + sizeof(IO_STATUS_BLOCK);
}

TEchoService& SystemEchoService() {
    static TWinEchoService service;
    return service;
}
