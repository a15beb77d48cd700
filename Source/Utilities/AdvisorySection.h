#pragma once

#include <juce_core/juce_core.h>

/** A scoped re-entrancy counter over an int.

    Entering adds one to the counter, leaving subtracts one; a section is "held" while its
    counter is above zero. Used to stop echoes between two directions of a flow (for example
    a pedal message that sets a parameter must not be sent back to the pedal).
*/
class AdvisorySection
{
public:
    explicit AdvisorySection (int& counterToUse) noexcept
        : counter (counterToUse)
    {
        jassert (counter >= 0);
        ++counter;
    }

    ~AdvisorySection() noexcept
    {
        jassert (counter >= 1);
        --counter;
    }

    static bool isHeld (int counter) noexcept   { return counter > 0; }

private:
    int& counter;

    JUCE_DECLARE_NON_COPYABLE (AdvisorySection)
};
