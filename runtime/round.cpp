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

TRoundScope::TRoundScope(TRound* round) : round_(round), outer_(current) {
    if (round_ != nullptr) ++round_->uses_;
    current = round_;
}

TRoundScope::~TRoundScope() {
    current = outer_;
    if (round_ != nullptr) round_->Drop();
}
