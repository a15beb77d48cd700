#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** One channel's state of the resampling read: the five most recent input samples and the
    fractional read position, with 4th-degree Lagrange interpolation in single precision.

    The position (and the ratio added to it) is kept in double precision so that a ratio that
    differs from 1.0 by about 1e-4 accumulates without drift.
*/
class AudioInterpolator
{
public:
    using Ramp = juce::SmoothedValue<double, juce::ValueSmoothingTypes::Linear>;

    static constexpr int historySize = 5;

    AudioInterpolator() noexcept;

    /** Position 1.0 and a silent history. */
    void reset() noexcept;

    /** Real-time: produces numOutput samples into dest, taking input from the ring channel
        storage from index start on. size1 samples are available there before the storage wraps
        back to index 0 at wrap = start + size1. The ratio of each output sample comes from ramp,
        a private copy of the caller's ramp. Returns the number of input samples consumed. */
    int process (const float* storage, int start, int size1, float* dest, int numOutput, Ramp ramp) noexcept;

    /** The Lagrange polynomial through history (oldest at node 0, newest at node 4), at pos + 2. */
    float interpolate (float pos) const noexcept;

    double getPosition() const noexcept   { return position; }

private:
    void push (float sample) noexcept;

    float history[historySize] {};   // newest first
    double position = 1.0;

    JUCE_LEAK_DETECTOR (AudioInterpolator)
};
