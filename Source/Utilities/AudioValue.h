#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A linearly smoothed value whose ramp is counted in host blocks.

    Any thread may store the wanted value into pendingTarget; the owner takes it once per block
    (takePendingTarget) and reads the value at the start and at the end of the block.
*/
class AudioSmoothedValue : public juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear>
{
public:
    explicit AudioSmoothedValue (float initialValue = 0.0f, float rampLengthSeconds = 0.1f)
        : juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> (initialValue),
          pendingTarget (initialValue),
          rampSeconds (rampLengthSeconds)
    {
    }

    virtual ~AudioSmoothedValue() = default;

    /** Ramp length = floor(rampSeconds × sampleRate / blockSize) blocks; settles at the target. */
    void reset (double sampleRate, int blockSize)
    {
        jassert (sampleRate > 0.0 && blockSize > 0);
        juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear>::reset ((int) std::floor (rampSeconds * sampleRate / blockSize));
    }

    /** Audio thread: starts a ramp towards pendingTarget when it changed. */
    void takePendingTarget() noexcept
    {
        setTargetValue (pendingTarget.load (std::memory_order_relaxed));
    }

    std::atomic<float> pendingTarget;
    float rampSeconds;
};

/** The output gain that fades around a latency change. */
class AudioMute : public AudioSmoothedValue
{
public:
    using AudioSmoothedValue::AudioSmoothedValue;
};
