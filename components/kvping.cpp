#include "components/kvping.h"

int32_t WinsockUsers = 0;

namespace {
bool socketsStarted = false;  // the socket library answered a start and has not been stopped since
}

TKVPing::TKVPing(TEchoService& service) : service_(service) {
    ++WinsockUsers;
    // The scheme links outlets after every component exists, so this reaches nothing there; each
    // actPing reports it again.
    if (!StartSockets()) EmitInt(evError, kPingNoSockets);
}

TKVPing::~TKVPing() {
    for (TCall* call = calls_; call != nullptr; call = call->outer)
        call->destroyed = true;
    // A library that never started is not stopped: that would end another user's start.
    if (--WinsockUsers == 0 && socketsStarted) {
        socketsStarted = false;
        service_.StopSockets();
    }
}

bool TKVPing::StartSockets() {
    if (!socketsStarted) socketsStarted = service_.StartSockets();
    return socketsStarted;
}

void TKVPing::actPing(TData& data, uint16_t /*index*/) {
    // Without the library every lookup fails, and "no such host" would hide the real cause.
    if (!StartSockets()) {
        EmitInt(evError, kPingNoSockets);
        return;
    }
    const std::string host = ReadString(data, pinHost, Host);
    // The resolver answers an empty name with this computer, and does not check a name's length.
    if (host.empty() || host.size() > kMaxHostName) {
        EmitInt(evError, kPingNoHost);
        return;
    }
    TCall call{calls_};
    calls_ = &call;
    TIPv4 address{};
    TEchoReply reply;
    const bool resolved = service_.Resolve(host, address);
    // A record that reports an ICMP error (unreachable, TTL expired) is a failure, not a reply.
    const bool answered =
        resolved && !call.destroyed &&
        service_.Echo(address, static_cast<uint16_t>(DataSize), static_cast<uint32_t>(Timeout), reply) &&
        reply.Status == 0;
    // Destroyed by a chain nested in a wait: nothing of the engine is left to report with.
    if (call.destroyed) return;
    calls_ = call.outer;
    if (!resolved || !answered) {
        EmitInt(evError, resolved ? kPingNoAnswer : kPingNoHost);
        return;
    }
    lastRoundTrip_ = static_cast<uint16_t>(reply.RoundTrip);
    lastReplySize_ = reply.DataSize;
    // Everything hung on evReply pulls the getters inside this call and sees the new values.
    EmitStr(evReply, FormatIPv4(reply.Address));
}

void TKVPing::getRoundTrip(TData& data, uint16_t /*index*/) {
    SetInteger(data, lastRoundTrip_);
}

void TKVPing::getReplySize(TData& data, uint16_t /*index*/) {
    SetInteger(data, lastReplySize_);
}

std::string FormatIPv4(const TIPv4& address) {
    std::string text;
    for (const uint8_t byte : address) {
        if (!text.empty()) text += '.';
        text += std::to_string(byte);
    }
    return text;
}

bool IsDottedQuad(std::string_view text) {
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
        const size_t first = i;
        int value = 0;
        while (i < text.size() && i - first < 4 && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        const size_t digits = i - first;
        // A leading zero can mean octal to the resolver; such text takes the ordinary road.
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[first] == '0')) return false;
    }
    return i == text.size();
}
