#include "runtime/round.h"

#include <new>

namespace {
thread_local TRound* current = nullptr;
}

TRound* TRound::New() {
    return new (std::nothrow) TRound;
}

void TRound::Release() {
    released_ = true;
    if (uses_ == 0) delete this;
}

TRound* TRound::Borrow() {
    if (current != nullptr) ++current->uses_;
    return current;
}

void TRound::Drop() {
    if (--uses_ == 0 && released_) delete this;
}

TRoundScope::TRoundScope(TRound* hold) : hold_(hold), outer_(current) {
    if (hold_ != nullptr) ++hold_->uses_;
    current = hold_;
}

TRoundScope::~TRoundScope() {
    current = outer_;
    if (hold_ != nullptr) hold_->Drop();
}
