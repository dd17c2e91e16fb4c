#include "components/kvping.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {
// Live users of the socket library in this process: the first starts it, the last stops it (if it
// ever started).
int32_t winsockUsers = 0;
bool socketsStarted = false;  // the socket library answered a start and has not been stopped since
}  // namespace

TKVPing::TKVPing(TEchoService& service) : service_(service) {
    ++winsockUsers;
    // The scheme links outlets after every component exists, so this reaches nothing there; each
    // actPing reports it again.
    if (!StartSockets()) EmitInt(evError, kPingNoSockets);
}

TKVPing::~TKVPing() {
    // Nothing is left to report with: the outcomes still on their way are dropped, and the rounds
    // they belonged to are over.
    for (TEchoRequest* request : outstanding_) {
        if (request->Round != nullptr) request->Round->Drop();
        request->Round = nullptr;
        service_.Abandon(request);
    }
    // A library that never started is not stopped: that would end another user's start.
    if (--winsockUsers == 0 && socketsStarted) {
        socketsStarted = false;
        service_.StopSockets();
    }
}

bool TKVPing::StartSockets() {
    if (!socketsStarted) socketsStarted = service_.StartSockets();
    return socketsStarted;
}

void TKVPing::actPing(TData& data, uint16_t /*index*/) {
    // A failure of this machine, not the host's: code 1, as every local one.
    std::unique_ptr<TEchoRequest> request(new (std::nothrow) TEchoRequest);
    if (request == nullptr) {
        EmitInt(evError, kPingNoSockets);
        return;
    }
    // Without the library every lookup fails, and "no such host" would hide the real cause.
    if (!StartSockets()) {
        request->Failure = kPingNoSockets;
    } else {
        request->Host = ReadString(data, pinHost, Host);
        // The resolver answers an empty name with this computer, and does not check a name's length.
        if (request->Host.empty() || request->Host.size() > kMaxHostName) request->Failure = kPingNoHost;
    }
    request->DataSize = static_cast<uint16_t>(DataSize);
    request->Timeout = static_cast<uint32_t>(Timeout);
    request->Done = MakeMethod<&TKVPing::Answered>(this);
    // Even a request that failed already comes back through the loop: every outcome is a chain of
    // its own, whichever road it took.
    request->Round = TRound::Borrow();
    outstanding_.push_back(request.get());
    if (service_.Send(request.get())) {
        (void)request.release();
        return;
    }
    // No thread to send it on, a local failure: the one outcome fires here instead.
    outstanding_.pop_back();
    if (request->Round != nullptr) request->Round->Drop();
    EmitInt(evError, request->Failure != 0 ? request->Failure : kPingNoSockets);
}

void TKVPing::Answered(TEchoRequest* sent) {
    const std::unique_ptr<TEchoRequest> request(sent);
    outstanding_.erase(std::remove(outstanding_.begin(), outstanding_.end(), sent), outstanding_.end());
    int32_t failure = request->Failure;
    // A record that reports an ICMP error (unreachable, TTL expired) is a failure, not a reply.
    if (failure == 0 && !request->Resolved) failure = kPingNoHost;
    if (failure == 0 && (!request->Answered || request->Reply.Status != 0)) failure = kPingNoAnswer;
    TRound* const round = request->Round;
    {
        // The chain may destroy this engine: nothing of it is touched after the outlet.
        const TRoundScope scope(round);
        if (failure != 0) {
            EmitInt(evError, failure);
        } else {
            lastRoundTrip_ = static_cast<uint16_t>(request->Reply.RoundTrip);
            lastReplySize_ = request->Reply.DataSize;
            // Everything hung on evReply pulls the getters inside this call and sees the new values.
            EmitStr(evReply, FormatIPv4(request->Reply.Address));
        }
    }
    if (round != nullptr) round->Drop();
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
