#pragma once

#include "AudioInterpolator.h"
#include "CircularAudioBuffer.h"

/** A CircularAudioBuffer whose reader resamples.

    The reader consumes input samples at a ratio close to 1.0 that another thread steers through
    setTargetRatio(); ratio changes are spread over a linear ramp, and each channel's output
    samples are interpolated from the five most recent input samples (AudioInterpolator).
*/
class ResamplingCircularAudioBuffer : public CircularAudioBuffer
{
public:
    /** Input samples a read reserves beyond numSamples × ratio: the interpolators never get
        further than 2 samples ahead of that. */
    static constexpr int readReserve = 4;

    ResamplingCircularAudioBuffer (int numChannels = 2, int numSamples = defaultSize);
    ~ResamplingCircularAudioBuffer() override;

    /** Ratio 1.0, ramp settled at 1.0, interpolators reset, both indices 0. Only while neither
        side runs. */
    void reset() override;

    /** Reader side (real-time): produces exactly numSamples output samples per channel and
        consumes about numSamples × ratio input samples. It reserves numSamples × ratio + 4
        readable samples; with allOrNothing it fails (destination cleared, nothing consumed) when
        fewer are readable. */
    bool readBuffer (float* const* dest, int numDestChannels, int numSamples,
                     int destStartSample, bool allOrNothing) noexcept override;
    using CircularAudioBuffer::readBuffer;

    /** Any thread: input samples to consume per output sample from now on (ramped). */
    void setTargetRatio (double newRatio) noexcept   { targetRatio.exchange (newRatio); }
    double getTargetRatio() const noexcept           { return targetRatio.load(); }

    /** Length of the ratio ramp in samples; settles the ramp at its target. Only while the reader
        does not run. */
    void setRampLength (int numSamples) noexcept;

    /** The ratio the reader applies now (reader thread, or while it does not run). */
    double getCurrentRatio() const noexcept   { return ratioRamp.getCurrentValue(); }

private:
    std::atomic<double> targetRatio { 1.0 };
    AudioInterpolator::Ramp ratioRamp { 1.0 };
    juce::OwnedArray<AudioInterpolator> interpolators;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ResamplingCircularAudioBuffer)
};
