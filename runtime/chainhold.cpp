#include "runtime/chainhold.h"

#include <new>

namespace {
thread_local TChainHold* current = nullptr;
}

TChainHold* TChainHold::New() {
    return new (std::nothrow) TChainHold;
}

void TChainHold::Release() {
    released_ = true;
    if (uses_ == 0) delete this;
}

TChainHold* TChainHold::Borrow() {
    if (current != nullptr) ++current->uses_;
    return current;
}

void TChainHold::Drop() {
    if (--uses_ == 0 && released_) delete this;
}

TChainScope::TChainScope(TChainHold* hold) : hold_(hold), outer_(current) {
    if (hold_ != nullptr) ++hold_->uses_;
    current = hold_;
}

TChainScope::~TChainScope() {
    current = outer_;
    if (hold_ != nullptr) hold_->Drop();
}
