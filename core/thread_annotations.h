#pragma once
// Annotations for Clang's thread-safety analysis (-Wthread-safety): which
// lock guards which data, and which functions take, release or need a lock.
// Under Clang they let the compiler check the locking rules written in the
// headers; under other compilers they expand to nothing.

#if defined(__clang__)
#define NUMERION_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define NUMERION_THREAD_ANNOTATION(x)
#endif

// On a class: its objects are locks.
#define CAPABILITY(name) NUMERION_THREAD_ANNOTATION(capability(name))
// On a class: an object that holds a lock from its construction to its destruction.
#define SCOPED_CAPABILITY NUMERION_THREAD_ANNOTATION(scoped_lockable)
// On a member or global: read and written only while the lock is held.
#define GUARDED_BY(lock) NUMERION_THREAD_ANNOTATION(guarded_by(lock))
// On a pointer: what it points at is read and written only while the lock is held.
#define PT_GUARDED_BY(lock) NUMERION_THREAD_ANNOTATION(pt_guarded_by(lock))
// On a function: the caller holds the lock (REQUIRES) or does not (EXCLUDES).
#define REQUIRES(...) NUMERION_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) NUMERION_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// On a function: it takes or releases the lock (the object's own lock when none is named).
#define ACQUIRE(...) NUMERION_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) NUMERION_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// On a function: it takes the lock when it returns `result`.
#define TRY_ACQUIRE(...) NUMERION_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// On a function: it returns a reference to the lock named.
#define RETURN_CAPABILITY(lock) NUMERION_THREAD_ANNOTATION(lock_returned(lock))
// On a function whose locking the analysis cannot follow (a lock held across
// calls, taken on one path only); its header comment says the rule instead.
#define NO_THREAD_SAFETY_ANALYSIS NUMERION_THREAD_ANNOTATION(no_thread_safety_analysis)
