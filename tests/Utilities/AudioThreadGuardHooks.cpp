// The test program's counting hooks for AudioThreadGuard: every allocation through operator new
// and every pthread mutex lock taken by a thread marked as an audio thread is counted.
// Sanitizer runtimes bring their own operator new and mutex interceptors: there, nothing is
// installed and the tests that need the hooks skip.

#include <cstdlib>
#include <new>
#include <dlfcn.h>
#include <pthread.h>
#include "Utilities/AudioThreadGuard.h"

#if defined (__has_feature)
 #if __has_feature (thread_sanitizer) || __has_feature (address_sanitizer)
  #define THORNVALE_SANITIZED 1
 #endif
#endif
#if defined (__SANITIZE_THREAD__) || defined (__SANITIZE_ADDRESS__)
 #define THORNVALE_SANITIZED 1
#endif

#if ! THORNVALE_SANITIZED

namespace
{
    void* allocate (std::size_t size)
    {
        AudioThreadGuard::noteAllocation();

        if (void* p = std::malloc (size == 0 ? 1 : size))
            return p;

        throw std::bad_alloc();
    }

    void* allocateAligned (std::size_t size, std::align_val_t alignment)
    {
        AudioThreadGuard::noteAllocation();
        const auto a = juce::jmax ((std::size_t) alignment, sizeof (void*));
        const auto rounded = ((size == 0 ? 1 : size) + a - 1) / a * a;

        if (void* p = std::aligned_alloc (a, rounded))
            return p;

        throw std::bad_alloc();
    }

    struct Installed
    {
        Installed()
        {
            AudioThreadGuard::hooksInstalled = true;
        }
    } installed;
}

void* operator new (std::size_t size)                                    { return allocate (size); }
void* operator new[] (std::size_t size)                                  { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept    { try { return allocate (size); } catch (...) { return nullptr; } }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept  { try { return allocate (size); } catch (...) { return nullptr; } }
void* operator new (std::size_t size, std::align_val_t a)                { return allocateAligned (size, a); }
void* operator new[] (std::size_t size, std::align_val_t a)              { return allocateAligned (size, a); }
void operator delete (void* p) noexcept                                  { std::free (p); }
void operator delete[] (void* p) noexcept                                { std::free (p); }
void operator delete (void* p, std::size_t) noexcept                     { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept                   { std::free (p); }
void operator delete (void* p, std::align_val_t) noexcept                { std::free (p); }
void operator delete[] (void* p, std::align_val_t) noexcept              { std::free (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept   { std::free (p); }
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept { std::free (p); }

namespace
{
    using LockFunction = int (*) (pthread_mutex_t*);
    std::atomic<LockFunction> nextLock { nullptr };   // constant-initialised: no guard, no lock
}

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    auto next = nextLock.load (std::memory_order_acquire);

    if (next == nullptr)
    {
        next = reinterpret_cast<LockFunction> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
        nextLock.store (next, std::memory_order_release);
    }

    AudioThreadGuard::noteLock();
    return next (mutex);
}
#endif
