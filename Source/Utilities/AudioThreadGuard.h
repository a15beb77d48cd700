#pragma once

#include <juce_core/juce_core.h>
#include <atomic>

/** Test support: counts the allocations and lock acquisitions made by threads while they are
    marked as audio threads.

    A guard object marks the calling thread for its lifetime. The counting itself is done by
    hooks that only the test program installs (its own operator new and pthread_mutex_lock call
    noteAllocation() and noteLock()); elsewhere nothing is counted and the guard costs nothing.
*/
class AudioThreadGuard
{
public:
    AudioThreadGuard() noexcept;
    ~AudioThreadGuard() noexcept;

    /** True while the calling thread is marked. */
    static bool isMarked() noexcept;

    static void noteAllocation() noexcept;
    static void noteLock() noexcept;

    static juce::int64 getAllocationCount() noexcept;
    static juce::int64 getLockCount() noexcept;
    static void resetCounts() noexcept;

    /** True when the test program's hooks are installed (set by the hooks themselves). */
    static std::atomic<bool> hooksInstalled;

private:
    JUCE_DECLARE_NON_COPYABLE (AudioThreadGuard)
};
