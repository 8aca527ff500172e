#pragma once
// Waiting and mutual exclusion for the engine.
//
// TCriticalSection is a recursive lock: the thread that holds it may enter
// again and must leave as often as it entered. TMutex is a plain lock that
// the holder must not take again. Both are usable with std::lock_guard /
// std::unique_lock (lock, unlock, try_lock); TLockGuard does the same and is
// visible to Clang's thread-safety analysis, so code guarding annotated data
// uses it. A lock is owned by whoever guards data with it and must outlive
// every thread that enters it; any thread may call it.

#include <cstdint>
#include <mutex>

#include "core/thread_annotations.h"

// Suspends the calling thread for at least `milliseconds` milliseconds.
void Sleep(uint32_t milliseconds);

class CAPABILITY("mutex") TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() ACQUIRE() { mutex_.lock(); }
  void Leave() RELEASE() { mutex_.unlock(); }
  bool TryEnter() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

  void lock() ACQUIRE() { Enter(); }
  void unlock() RELEASE() { Leave(); }
  bool try_lock() TRY_ACQUIRE(true) { return TryEnter(); }

 private:
  std::recursive_mutex mutex_;
};

class CAPABILITY("mutex") TMutex {
 public:
  TMutex() = default;
  TMutex(const TMutex&) = delete;
  TMutex& operator=(const TMutex&) = delete;

  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

 private:
  std::mutex mutex_;
};

// Holds `lock` from its construction to its destruction.
template <class TLock>
class SCOPED_CAPABILITY TLockGuard {
 public:
  explicit TLockGuard(TLock& lock) ACQUIRE(lock) : lock_(lock) { lock_.lock(); }
  ~TLockGuard() RELEASE() { lock_.unlock(); }
  TLockGuard(const TLockGuard&) = delete;
  TLockGuard& operator=(const TLockGuard&) = delete;

 private:
  TLock& lock_;
};
