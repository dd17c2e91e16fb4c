// TKVPing: the echo engine. Each actPing sends one request: the host is looked up, one ICMP echo
// goes to its first IPv4 address, and the reply is awaited up to Timeout ms. Exactly one outlet
// fires per request: evReply with the replying address, or evError with a failure code.
// getRoundTrip and getReplySize answer for the last good reply.
//
// actPing only starts the request and returns. Its outcome comes back later on the same thread,
// taken from whatever message loop is running there (the main loop, or a box's own while one is
// open), and fires as a chain of its own, inside the round of the chain that sent it (runtime/
// round.h), so a timer knows its tick's round is still going. Requests are independent: a click
// may send one while a tick's is still outstanding, and each outcome fires once. An engine destroyed
// with requests outstanding abandons them: they fire nothing.
//
// The platform's socket library, resolver and echo service sit behind TEchoService, so the steps and
// failure codes here are tested with a fake on any host and the real service under Wine.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/event.h"
#include "runtime/round.h"
#include "runtime/tobject.h"
#include "toolkit/method.h"

// Failure codes carried by evError.
inline constexpr int32_t kPingNoSockets = 1;  // local: the socket library or the echo handle failed
inline constexpr int32_t kPingNoHost = 2;     // the host name is empty, too long or did not resolve
inline constexpr int32_t kPingNoAnswer = 3;   // the echo failed, timed out or came back as an error

// The longest host name the resolver is given: a DNS name is at most 255 characters, and the
// resolver does not check the length itself.
inline constexpr size_t kMaxHostName = 255;

// An IPv4 address as stored by the resolver and the echo service: network byte order, first byte
// first.
using TIPv4 = std::array<uint8_t, 4>;

// What one echo brought back: the fields of the platform's echo-reply record that the engine uses.
struct TEchoReply {
    TIPv4 Address{};
    uint32_t Status = 0;  // 0: an echo reply; anything else an ICMP error or the stack's own failure
    uint32_t RoundTrip = 0;
    uint16_t DataSize = 0;
};

// One request on its way: what the engine asks for, then what the service found.
struct TEchoRequest {
    // Asked. Failure already set (the socket library is down, the name unusable) means there is
    // nothing to look up or send: the request only comes back.
    int32_t Failure = 0;
    std::string Host;
    uint16_t DataSize = 0;
    uint32_t Timeout = 0;  // ms

    // Found by the service.
    bool Resolved = false;
    bool Answered = false;  // a reply record came back in time
    TEchoReply Reply;

    // The engine's: who hears the outcome, and the round the outcome's chain runs inside.
    TMethod<void(TEchoRequest*)> Done;
    TRound* Round = nullptr;
    // The service's own.
    void* Ticket = nullptr;
};

// The seam to the platform.
class TEchoService {
public:
    virtual bool StartSockets() = 0;  // Winsock 1.1; true when it started
    virtual void StopSockets() = 0;
    // Takes the request and returns at once; the look-up and the echo run elsewhere. Later, on this
    // thread and from its message loop (never inside Send), it hands the request back through its
    // Done. False when the request could not be started: it stays the caller's.
    virtual bool Send(TEchoRequest* request) = 0;
    // Done will not be called for the request; the service frees it once its work has ended.
    virtual void Abandon(TEchoRequest* request) = 0;

protected:
    ~TEchoService() = default;
};

// The real service: Winsock and the ICMP echo on Windows (components/kvping_win32.h).
TEchoService& SystemEchoService();

class TKVPing : public TObject {
    uint16_t lastRoundTrip_ = 0;  // ms, low 16 bits of the platform's value; 0 until the first reply
    uint16_t lastReplySize_ = 0;  // bytes the last reply echoed
    std::vector<TEchoRequest*> outstanding_;  // sent, not yet come back

public:
    explicit TKVPing(TEchoService& service = SystemEchoService());
    ~TKVPing() override;

    std::string Host;
    int32_t DataSize = 0;  // only the low 16 bits are sent
    int32_t Timeout = 0;   // ms
    TKV_Event pinHost;
    TKV_Event evError;
    TKV_Event evReply;

    // Action entry: sends one request; the incoming value is the last source of the host text. While
    // the socket library is not started it tries again, and the request fails with code 1 when it
    // still does.
    void actPing(TData& data, uint16_t index);
    // Value getters; they ignore the index and change nothing.
    void getRoundTrip(TData& data, uint16_t index);
    void getReplySize(TData& data, uint16_t index);

    size_t Outstanding() const { return outstanding_.size(); }

private:
    bool StartSockets();
    void Answered(TEchoRequest* request);

    TEchoService& service_;
};

// "a.b.c.d" in memory order, no leading zeros.
std::string FormatIPv4(const TIPv4& address);
