// TKVPing: the echo engine. Each actPing resolves the host, sends one ICMP echo request to its first
// IPv4 address, waits up to Timeout ms and fires exactly one outlet: evReply with the replying address,
// or evError with a failure code. getRoundTrip and getReplySize answer for the last good reply.
//
// The platform's socket library, resolver and echo service sit behind TEchoService, so the steps and
// failure codes here are tested with a fake on any host and the real service under Wine. On Windows
// the service keeps the window thread answering messages while it waits, so a chain started by the
// user during the wait runs nested, as inside a modal box; it may call actPing again.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/event.h"
#include "runtime/tobject.h"

// Failure codes carried by evError.
inline constexpr int32_t kPingNoSockets = 1;  // the socket library is not started
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

// The seam to the platform. Resolve and Echo block their caller until they are done.
class TEchoService {
public:
    virtual bool StartSockets() = 0;  // Winsock 1.1; true when it started
    virtual void StopSockets() = 0;
    // The first IPv4 address of the host entry; false when the name did not resolve.
    virtual bool Resolve(const std::string& host, TIPv4& address) = 0;
    // One echo request with dataSize bytes of payload; false when the request failed or no reply
    // record came back within timeout ms. Its buffers live only inside the call.
    virtual bool Echo(const TIPv4& address, uint16_t dataSize, uint32_t timeout, TEchoReply& reply) = 0;

protected:
    ~TEchoService() = default;
};

// The real service: Winsock and the ICMP echo on Windows.
TEchoService& SystemEchoService();

#ifdef _WIN32
// Bytes the real service gives the ICMP service for the reply to a request of dataSize bytes.
size_t EchoReplyBufferSize(uint16_t dataSize);
#endif

// Live users of the socket library in this process: the first starts it, the last stops it (if it
// ever started).
extern int32_t WinsockUsers;

class TKVPing : public TObject {
    uint16_t lastRoundTrip_ = 0;  // ms, low 16 bits of the platform's value; 0 until the first reply
    uint16_t lastReplySize_ = 0;  // bytes the last reply echoed

    // One actPing on the stack. The waits inside it run nested chains, which may call actPing again
    // or destroy the engine; the destructor marks every call still on the stack.
    struct TCall {
        TCall* outer;
        bool destroyed = false;
    };
    TCall* calls_ = nullptr;  // innermost first

public:
    explicit TKVPing(TEchoService& service = SystemEchoService());
    ~TKVPing() override;

    std::string Host;
    int32_t DataSize = 0;  // only the low 16 bits are sent
    int32_t Timeout = 0;   // ms
    TKV_Event pinHost;
    TKV_Event evError;
    TKV_Event evReply;

    // Action entry: one echo; the incoming value is the last source of the host text. While the
    // socket library is not started it tries again, and fires evError 1 when it still fails.
    void actPing(TData& data, uint16_t index);
    // Value getters; they ignore the index and change nothing.
    void getRoundTrip(TData& data, uint16_t index);
    void getReplySize(TData& data, uint16_t index);

private:
    bool StartSockets();

    TEchoService& service_;
};

// "a.b.c.d" in memory order, no leading zeros.
std::string FormatIPv4(const TIPv4& address);

// Four decimal numbers 0 to 255 joined by dots, none with a leading zero: text the resolver answers
// without a lookup.
bool IsDottedQuad(std::string_view text);
