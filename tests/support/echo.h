// The echo engine's outlets as a journal, for the fake-service tests and the real ones alike.
#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "components/kvping.h"

// Milliseconds on a steady clock.
inline double SteadyMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One call of the action entry, as a link makes it, with nothing incoming.
inline void PingOnce(TKVPing& ping) {
    TData in;
    ping.actPing(in, 0);
}

// What the getters give now: the last round trip and reply size.
inline std::pair<int32_t, int32_t> LastValues(TKVPing& ping) {
    TData rtt, size;
    ping.getRoundTrip(rtt, 0);
    ping.getReplySize(size, 1);
    return {ToInteger(rtt), ToInteger(size)};
}

// Records "error CODE" or "reply ADDRESS SIZE" and when each came; inside a reply it pulls the size
// from the getter, as the scheme's joiners do.
struct EchoListener {
    TKVPing* ping = nullptr;
    std::vector<std::string> events;
    std::vector<double> at;

    void Wire(TKVPing& p) {
        ping = &p;
        p.evError = MakeEvent<&EchoListener::onError>(this, 0);
        p.evReply = MakeEvent<&EchoListener::onReply>(this, 0);
    }
    void Clear() {
        events.clear();
        at.clear();
    }
    void onError(TData& d, uint16_t /*index*/) { Note("error " + ToString(d)); }
    void onReply(TData& d, uint16_t /*index*/) {
        Note("reply " + ToString(d) + " " + std::to_string(LastValues(*ping).second));
    }
    void Note(std::string event) {
        events.push_back(std::move(event));
        at.push_back(SteadyMs());
    }
};
