#pragma once
// Waiting and mutual exclusion for the engine.
//
// TCriticalSection is a recursive lock: the thread that holds it may enter
// again and must leave as often as it entered. It is usable with
// std::lock_guard / std::unique_lock (lock, unlock, try_lock). The object is
// owned by whoever guards data with it and must outlive every thread that
// enters it; any thread may call it.

#include <cstdint>
#include <mutex>

// Suspends the calling thread for at least `milliseconds` milliseconds.
void Sleep(uint32_t milliseconds);

class TCriticalSection {
 public:
  TCriticalSection() = default;
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex mutex_;
};
