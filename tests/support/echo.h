// The echo engine's outlets as a journal, and a fake platform that holds each request until the test
// hands it back, as the window thread's loop would: for the fake-service tests and the real ones.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "components/kvping.h"

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

// Records "error CODE" or "reply ADDRESS SIZE"; inside a reply it pulls the size from the getter, as
// the scheme's joiners do.
struct EchoListener {
    TKVPing* ping = nullptr;
    std::vector<std::string> events;

    void Wire(TKVPing& p) {
        ping = &p;
        p.evError = MakeEvent<&EchoListener::onError>(this, 0);
        p.evReply = MakeEvent<&EchoListener::onReply>(this, 0);
    }
    void onError(TData& d, uint16_t /*index*/) { events.push_back("error " + ToString(d)); }
    void onReply(TData& d, uint16_t /*index*/) {
        events.push_back("reply " + ToString(d) + " " + std::to_string(LastValues(*ping).second));
    }
};

// Answers each request as it is sent, with the faults set then, and keeps it until Deliver.
class FakeEcho final : public TEchoService {
public:
    bool startOk = true, resolveOk = true, echoOk = true, sendOk = true;
    int starts = 0, stops = 0, lookups = 0, abandoned = 0;
    TEchoReply answer{{127, 0, 0, 1}, 0, 7, 128};
    std::vector<TEchoRequest*> sent;  // outstanding, oldest first

    bool StartSockets() override {
        ++starts;
        return startOk;
    }
    void StopSockets() override { ++stops; }
    bool Send(TEchoRequest* r) override {
        if (!sendOk) return false;
        if (r->Failure == 0) {
            ++lookups;
            r->Resolved = resolveOk;
            r->Answered = resolveOk && echoOk;
            if (r->Answered) r->Reply = answer;
        }
        sent.push_back(r);
        return true;
    }
    void Abandon(TEchoRequest* r) override {
        sent.erase(std::find(sent.begin(), sent.end(), r));
        delete r;
        ++abandoned;
    }
    // Hands the n-th outstanding request back, as the loop takes its message.
    void Deliver(size_t n = 0) {
        TEchoRequest* r = sent.at(n);
        sent.erase(sent.begin() + static_cast<std::ptrdiff_t>(n));
        r->Done(r);
    }
    void DeliverAll() {
        while (!sent.empty())
            Deliver();
    }
};
