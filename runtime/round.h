// Rounds that outlast their chain. A chain may start work whose outcome comes back later as a chain
// of its own (an echo's reply or failure, taken from the window thread's loop). A hold follows such
// a round: the work a chain starts under a hold borrows it, and the outcome's chain runs under it
// again, so the hold stays taken until the whole round is over. The periodic timer keeps one to drop
// a tick that comes while the round the previous tick started is still going.
//
// All chains under one hold run on one thread, so the counts take no lock.
#pragma once

#include <cstdint>

class TRound {
public:
    // Null when memory ran out. Its owner ends it with Release, never delete: it goes once nothing
    // holds it any more, since work it lent itself to may still be outstanding.
    static TRound* New();
    void Release();

    // A chain under it runs now, or work started under it is outstanding.
    bool Going() const { return uses_ > 0; }

    // The hold of the chain running on this thread, taken once more for work that chain starts:
    // the work gives it back with Drop once its outcome's chain has run. Null outside any hold.
    static TRound* Borrow();
    void Drop();

private:
    friend class TRoundScope;
    TRound() = default;
    int32_t uses_ = 0;
    bool released_ = false;
};

// Runs a chain under a hold (none when null): taken and current until the scope ends.
class TRoundScope {
public:
    explicit TRoundScope(TRound* hold);
    ~TRoundScope();
    TRoundScope(const TRoundScope&) = delete;
    TRoundScope& operator=(const TRoundScope&) = delete;

private:
    TRound* hold_;
    TRound* outer_;
};
