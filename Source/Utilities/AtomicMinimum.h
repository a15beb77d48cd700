#pragma once

#include <juce_core/juce_core.h>
#include <atomic>

/** The smallest value seen since the last take(), shared lock-free between one thread that
    reports values and another that takes the minimum. -1 means "nothing seen". */
class AtomicMinimum
{
public:
    static constexpr int empty = -1;

    AtomicMinimum() noexcept = default;

    /** Real-time: lowers the stored minimum to value (value >= 0). */
    void update (int value) noexcept;

    /** Returns the minimum seen since the last take (or empty) and starts a new collection. */
    int take() noexcept   { return minimum.exchange (empty); }

    int get() const noexcept   { return minimum.load(); }

private:
    std::atomic<int> minimum { empty };

    JUCE_DECLARE_NON_COPYABLE (AtomicMinimum)
};
