#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A single-producer single-consumer ring of multichannel audio with atomic indices.
    The lock-free read and write paths are added on top of this interface. */
class CircularAudioBuffer
{
public:
    static constexpr int defaultSize = 32768;

    explicit CircularAudioBuffer (int numChannels = 2, int numSamples = defaultSize)
        : buffer (numChannels, numSamples)
    {
        buffer.clear();
    }

    virtual ~CircularAudioBuffer() = default;

    int getNumChannels() const noexcept   { return buffer.getNumChannels(); }
    int getSize() const noexcept          { return buffer.getNumSamples(); }

protected:
    juce::AudioBuffer<float> buffer;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CircularAudioBuffer)
};
