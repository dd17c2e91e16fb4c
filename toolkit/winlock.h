// The lock for data that worker and timer threads share with the window thread: a slim reader/writer
// lock, always taken exclusively. It needs no set-up or clean-up, so a static one is ready before any
// thread runs and is never torn down under a worker that outlives the program's static objects.
//
// Windows only; included by _win32 files.
#pragma once

#include <windows.h>

class TLock {
public:
    TLock() = default;
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

    void Lock() { AcquireSRWLockExclusive(&lock_); }
    bool TryLock() { return TryAcquireSRWLockExclusive(&lock_) != FALSE; }
    void Unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// Holds the lock for a scope.
class TLockScope {
public:
    explicit TLockScope(TLock& lock) : lock_(lock) { lock_.Lock(); }
    ~TLockScope() { lock_.Unlock(); }
    TLockScope(const TLockScope&) = delete;
    TLockScope& operator=(const TLockScope&) = delete;

private:
    TLock& lock_;
};
