#include "AudioThreadGuard.h"

namespace
{
    thread_local int markDepth = 0;
    std::atomic<juce::int64> allocations { 0 };
    std::atomic<juce::int64> locks { 0 };
}

std::atomic<bool> AudioThreadGuard::hooksInstalled { false };

AudioThreadGuard::AudioThreadGuard() noexcept    { ++markDepth; }
AudioThreadGuard::~AudioThreadGuard() noexcept   { --markDepth; }

bool AudioThreadGuard::isMarked() noexcept   { return markDepth > 0; }

void AudioThreadGuard::noteAllocation() noexcept
{
    if (markDepth > 0)
        allocations.fetch_add (1, std::memory_order_relaxed);
}

void AudioThreadGuard::noteLock() noexcept
{
    if (markDepth > 0)
        locks.fetch_add (1, std::memory_order_relaxed);
}

juce::int64 AudioThreadGuard::getAllocationCount() noexcept   { return allocations.load(); }
juce::int64 AudioThreadGuard::getLockCount() noexcept         { return locks.load(); }

void AudioThreadGuard::resetCounts() noexcept
{
    allocations.store (0);
    locks.store (0);
}
