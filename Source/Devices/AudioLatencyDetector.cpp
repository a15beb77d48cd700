#include "AudioLatencyDetector.h"

AudioLatencyDetector::~AudioLatencyDetector()
{
    stopTimer();
}

void AudioLatencyDetector::arm (int length, std::function<void (int)> completion)
{
    jassert (length > 0);

    // The fields change only while the detector is off; storing "armed" publishes them.
    state.store (off);
    latencyCallback = std::move (completion);
    measuredSamples.store (0);
    blockCount.store (0);
    settleFirst.store (true);
    blockLength.store (juce::jmax (1, length));
    blockLimit.store (maxLatencySamples / juce::jmax (1, length));
    state.store (armed);
    startTimer (pollIntervalMs);
}

void AudioLatencyDetector::timerCallback()
{
    if (state.load() != found)
        return;

    stopTimer();
    const int r = measuredSamples.load();
    state.store (off);
    measuredSamples.store (0);
    blockCount.store (0);

    if (auto callback = std::move (latencyCallback))
    {
        latencyCallback = nullptr;
        callback (r >= resultOffset ? r - resultOffset : 0);
    }
}

// Device thread.
bool AudioLatencyDetector::isMeasuring() const noexcept
{
    const int s = state.load();
    return s == armed || s == listening;
}

// Device thread.
void AudioLatencyDetector::deviceCallbackFinished (const float* const* inputs, int numInputs,
                                                   juce::AudioBuffer<float>& outputs) noexcept
{
    const int s = state.load();

    if (s != armed && s != listening)
        return;

    outputs.clear();
    const int numSamples = outputs.getNumSamples();

    if (s == armed)
    {
        if (settleFirst.load())
        {
            const int c = blockCount.fetch_add (1);

            if (c < blockLimit.load())
                return;   // silence while the pedal settles
        }

        if (probeChannel < outputs.getNumChannels())
            for (int i = 0; i < juce::jmin (pulseLength, numSamples); ++i)
                outputs.setSample (probeChannel, i, pulseLevel);

        blockCount.store (0);
        state.store (listening);
        return;
    }

    const int c = blockCount.fetch_add (1);

    if (c >= blockLimit.load())
    {
        state.store (timedOut);
        return;
    }

    if (probeChannel >= numInputs || inputs == nullptr || inputs[probeChannel] == nullptr)
        return;

    const float* in = inputs[probeChannel];

    for (int i = 0; i < numSamples; ++i)
    {
        if (std::abs (in[i]) >= threshold)
        {
            measuredSamples.store (i + blockLength.load() * c);
            state.store (found);
            return;
        }
    }
}
