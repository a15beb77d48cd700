#include "ResamplingCircularAudioBuffer.h"

ResamplingCircularAudioBuffer::ResamplingCircularAudioBuffer (int numChannels, int numSamples)
    : CircularAudioBuffer (numChannels, numSamples)
{
    for (int ch = 0; ch < numChannels; ++ch)
        interpolators.add (new AudioInterpolator());

    ratioRamp.reset (0);
}

ResamplingCircularAudioBuffer::~ResamplingCircularAudioBuffer() = default;

void ResamplingCircularAudioBuffer::reset()
{
    targetRatio.exchange (1.0);
    ratioRamp.setCurrentAndTargetValue (1.0);

    for (auto* interpolator : interpolators)
        interpolator->reset();

    CircularAudioBuffer::reset();
}

void ResamplingCircularAudioBuffer::setRampLength (int numSamples) noexcept
{
    ratioRamp.reset (juce::jmax (0, numSamples));
}

// Real-time: reader thread.
bool ResamplingCircularAudioBuffer::readBuffer (float* const* dest, int numDestChannels, int numSamples,
                                                int destStartSample, bool allOrNothing) noexcept
{
    if (numSamples < 0)
        return false;

    ratioRamp.setTargetValue (targetRatio.load());

    const auto fastest = juce::jmax (ratioRamp.getTargetValue(), ratioRamp.getCurrentValue());
    const float wanted = (float) numSamples * (float) fastest + (float) readReserve;
    const int need = wanted < (float) getCapacity() ? (int) wanted : getCapacity();

    const auto r = reserveRead (need, allOrNothing);

    if (r.failed)
    {
        clearRegion (dest, numDestChannels, numSamples, destStartSample);
        return false;
    }

    int consumed = need;
    bool processedAny = false;

    for (int ch = 0; dest != nullptr && ch < numDestChannels; ++ch)
    {
        float* d = dest[ch];

        if (d == nullptr)
            continue;

        d += destStartSample;

        if (ch >= storage.getNumChannels() || ch >= interpolators.size())
        {
            juce::FloatVectorOperations::clear (d, numSamples);
            continue;
        }

        consumed = interpolators.getUnchecked (ch)->process (storage.getReadPointer (ch), r.start1, r.size1,
                                                             d, numSamples, ratioRamp);
        processedAny = true;
    }

    ratioRamp.skip (numSamples);

    // The channels share the ratio sequence and were reset together, so they all consumed the
    // same count; with no channel processed the whole reservation is dropped.
    consumed = processedAny ? juce::jmin (consumed, need) : need;

    if (consumed > 0)
        commitRead (consumed);

    return true;
}
