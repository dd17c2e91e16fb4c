#include "components/kvping.h"

int32_t WinsockUsers = 0;

TKVPing::TKVPing(TEchoService& service) : service_(service) {
    // The count goes up even when the start failed: the destructor's step down must match it.
    const bool started = WinsockUsers > 0 || service_.StartSockets();
    ++WinsockUsers;
    // The scheme links outlets after every component exists, so this reaches nothing there.
    if (!started) EmitInt(evError, kPingNoSockets);
}

TKVPing::~TKVPing() {
    if (--WinsockUsers == 0) service_.StopSockets();
}

void TKVPing::actPing(TData& data, uint16_t /*index*/) {
    const std::string host = ReadString(data, pinHost, Host);
    TIPv4 address{};
    if (!service_.Resolve(host, address)) {
        EmitInt(evError, kPingNoHost);
        return;
    }
    TEchoReply reply;
    // A record that reports an ICMP error (unreachable, TTL expired) is a failure, not a reply.
    if (!service_.Echo(address, static_cast<uint16_t>(DataSize), static_cast<uint32_t>(Timeout), reply) ||
        reply.Status != 0) {
        EmitInt(evError, kPingNoAnswer);
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
