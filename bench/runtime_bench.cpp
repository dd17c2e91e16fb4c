// Link runtime and the reply line: what one fire, one pull and one log line cost, and how many heap
// allocations each makes. Figures only; nothing here fails on a slow machine.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "components/kvstrcatdelim.h"
#include "components/kvtime.h"
#include "runtime/event.h"
#include "support/cp1251.h"
#include "support/localtime.h"

// Every allocation of the program is counted, so a benchmark can report its own per operation.
namespace {
std::atomic<uint64_t> gAllocations{0};
}  // namespace

// Out of line, so the compiler never sees free() meet a pointer it believes came from new.
[[gnu::noinline]] void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    std::abort();  // no exceptions here: out of memory ends the measurement
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t /*size*/) noexcept {
    std::free(p);
}

namespace {

// Reports the allocations made inside the timed loop, per iteration.
class AllocationCount {
public:
    explicit AllocationCount(benchmark::State& state) : state_(state), start_(gAllocations.load()) {}
    ~AllocationCount() {
        state_.counters["allocs/op"] = benchmark::Counter(static_cast<double>(gAllocations.load() - start_),
                                                          benchmark::Counter::kAvgIterations);
    }
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;

private:
    benchmark::State& state_;
    uint64_t start_;
};

// The least an action or a getter can do.
struct Trivial {
    int64_t sum = 0;
    void act(TData& d, uint16_t /*index*/) { sum += d.Int; }
    void get(TData& d, uint16_t /*index*/) { SetInteger(d, 42); }
};

void BM_FireInt(benchmark::State& state) {
    EnableLinks();
    Trivial t;
    const TKV_Event outlet = MakeEvent<&Trivial::act>(&t, 0);
    int32_t i = 0;
    {
        AllocationCount count(state);
        for ([[maybe_unused]] const auto& _ : state)
            EmitInt(outlet, ++i);
    }
    benchmark::DoNotOptimize(t.sum);
    DisableLinks();
}
BENCHMARK(BM_FireInt);

void BM_FireRecord(benchmark::State& state) {
    EnableLinks();
    Trivial t;
    const TKV_Event outlet = MakeEvent<&Trivial::act>(&t, 0);
    TData d = IntData(1);
    {
        AllocationCount count(state);
        for ([[maybe_unused]] const auto& _ : state)
            Emit(outlet, d);
    }
    benchmark::DoNotOptimize(t.sum);
    DisableLinks();
}
BENCHMARK(BM_FireRecord);

void BM_PullInteger(benchmark::State& state) {
    EnableLinks();
    Trivial t;
    const TKV_Event pin = MakeEvent<&Trivial::get>(&t, 0);
    int64_t sum = 0;
    {
        AllocationCount count(state);
        for ([[maybe_unused]] const auto& _ : state)
            sum += PullInteger(pin);
    }
    benchmark::DoNotOptimize(sum);
    DisableLinks();
}
BENCHMARK(BM_PullInteger);

// A string too long to live inside the record: pulling it costs its own buffer and nothing else.
constexpr std::string_view kLongText = "a text of sixty-four bytes, far too long to live inside a record";

struct TextSource {
    void get(TData& d, uint16_t /*index*/) { SetString(d, kLongText); }
};

void BM_PullLongString(benchmark::State& state) {
    EnableLinks();
    TextSource source;
    const TKV_Event pin = MakeEvent<&TextSource::get>(&source, 0);
    {
        AllocationCount count(state);
        for ([[maybe_unused]] const auto& _ : state) {
            TData d;
            Pull(pin, d);
            benchmark::DoNotOptimize(d.Str.data());
        }
    }
    DisableLinks();
}
BENCHMARK(BM_PullLongString);

// Relays that each hand the value on to the next by forwarding; the last one keeps it.
struct Relay {
    TKV_Event out;
    void actInt(TData& d, uint16_t /*index*/) { ForwardInteger(d, out, d.Int + 1); }
    void actStr(TData& d, uint16_t /*index*/) { ForwardString(d, out, std::string_view(d.Str)); }
};

template <bool kString>
void BM_ForwardChain(benchmark::State& state) {
    EnableLinks();
    const auto length = static_cast<std::size_t>(state.range(0));
    std::vector<Relay> relays(length);
    Trivial end;
    for (std::size_t i = 0; i < length; ++i) {
        const TKV_Event next = i + 1 < length ? (kString ? MakeEvent<&Relay::actStr>(&relays[i + 1], 0)
                                                         : MakeEvent<&Relay::actInt>(&relays[i + 1], 0))
                                              : MakeEvent<&Trivial::act>(&end, 0);
        relays[i].out = next;
    }
    const TKV_Event first =
        kString ? MakeEvent<&Relay::actStr>(&relays[0], 0) : MakeEvent<&Relay::actInt>(&relays[0], 0);
    {
        AllocationCount count(state);
        for ([[maybe_unused]] const auto& _ : state) {
            if (kString)
                EmitStr(first, kLongText);
            else
                EmitInt(first, 0);
        }
    }
    benchmark::DoNotOptimize(end.sum);
    DisableLinks();
}
BENCHMARK(BM_ForwardChain<false>)->Name("BM_ForwardChainInt")->Arg(8);
BENCHMARK(BM_ForwardChain<true>)->Name("BM_ForwardChainLongString")->Arg(8);

// The echo engine's two getters, as the reply line pulls them.
struct FakePing {
    int32_t replySize = 128;
    int32_t roundTrip = 3;
    void getRoundTrip(TData& d, uint16_t /*index*/) { SetInteger(d, roundTrip); }
    void getReplySize(TData& d, uint16_t /*index*/) { SetInteger(d, replySize); }
};

TLocalTime SaturdayEvening() {
    return TLocalTime{2026, 12, 6, 5, 21, 59, 7, 0};
}

// CatSize → CatRtt → CatReply with the scheme's settings and links, fired as the echo engine's
// reply fires it (a dotted address); the log end is left out.
template <bool kRealClock>
void BM_ReplyLine(benchmark::State& state) {
    FakePing ping;
    TKVStrCatDelim CatRtt, CatSize, CatReply;
    TKVTime TimeReply;
    CatRtt.Str2 = Cp1251(" мсек (");
    CatSize.Str1 = Cp1251("Обменн данными размером ");
    CatSize.Str2 = Cp1251(" байт, время ответа - ");
    // Built, not assigned from literals: GCC 12 at -O3 takes a short literal's assignment for an
    // overlapping copy (-Wrestrict).
    CatReply.Str1 = std::string("(");
    CatReply.Str2 = std::string(")");
    TimeReply.Format = std::string("D W:M:Y  h:m:s");

    CatRtt.evResult = MakeEvent<&TKVStrCatDelim::actStrCat>(&CatReply, 0);
    CatRtt.pinStr1 = MakeEvent<&TKVStrCatDelim::getResult>(&CatSize, 0);
    CatRtt.pinDelimiter = MakeEvent<&FakePing::getRoundTrip>(&ping, 0);
    CatSize.evResult = MakeEvent<&TKVStrCatDelim::actStrCat>(&CatRtt, 0);
    CatSize.pinDelimiter = MakeEvent<&FakePing::getReplySize>(&ping, 1);
    CatReply.pinStr1 = MakeEvent<&TKVStrCatDelim::getResult>(&CatRtt, 0);
    CatReply.pinDelimiter = MakeEvent<&TKVTime::getTime>(&TimeReply, 0);
    const TKV_Event reply = MakeEvent<&TKVStrCatDelim::actStrCat>(&CatSize, 0);
    EnableLinks();

    LocalTimeSource = SaturdayEvening;
    EmitStr(reply, "127.0.0.1");
    std::string expected = Cp1251("Обменн данными размером ");
    expected += "128";
    expected += Cp1251(" байт, время ответа - ").view();
    expected += "3";
    expected += Cp1251(" мсек (").view();
    expected += "05 06:12:2026  21:59:07)";
    if (CatReply.Result != expected) state.SkipWithError("the reply line is not the expected text");
    if (kRealClock) LocalTimeSource = nullptr;

    {
        AllocationCount count(state);
        for ([[maybe_unused]] const auto& _ : state)
            EmitStr(reply, "127.0.0.1");
    }
    // The stamp has a fixed width, so the real clock's line differs from the fixed one only in digits.
    if (CatReply.Result.size() != expected.size()) state.SkipWithError("the reply line lost its shape");
    LocalTimeSource = nullptr;
    DisableLinks();
}
BENCHMARK(BM_ReplyLine<true>)->Name("BM_ReplyLine");
BENCHMARK(BM_ReplyLine<false>)->Name("BM_ReplyLineFixedClock");

}  // namespace

BENCHMARK_MAIN();
