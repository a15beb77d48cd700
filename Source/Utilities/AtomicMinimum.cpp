#include "AtomicMinimum.h"

// Real-time.
void AtomicMinimum::update (int value) noexcept
{
    int current = minimum.load();
    int failedAttempts = 0;

    while (current == empty || current > value)
    {
        if (minimum.compare_exchange_weak (current, value))
            return;

        // With one updater and one taker this cannot go on for long.
        if (++failedAttempts == 1000)
            jassertfalse;
    }
}
