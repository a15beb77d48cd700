#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include "AbstractQueue.h"

/** A single-producer single-consumer ring of multichannel float audio with no locks.

    One thread writes, one thread reads. Whole blocks go in and out, copied in at most two
    segments; with allOrNothing a transfer either moves every sample or nothing at all.
    The storage is allocated once, in the constructor.
*/
class CircularAudioBuffer : public AbstractQueue
{
public:
    static constexpr int defaultSize = 32768;

    CircularAudioBuffer (int numChannels = 2, int numSamples = defaultSize);
    virtual ~CircularAudioBuffer();

    int getNumChannels() const noexcept   { return storage.getNumChannels(); }
    int getSize() const noexcept          { return getCapacity(); }

    /** Both indices to 0; the storage keeps its samples. Only while neither side runs. */
    virtual void reset();

    /** Clears the sample storage. Only while neither side runs. */
    void clear();

    /** Writer side (real-time): appends numSamples samples to every channel of the ring, taken
        from source[ch] + sourceStartSample. Ring channels without a source channel get silence,
        so a null source with no channels appends silence. Returns false when nothing was written
        (refused by allOrNothing, or a count outside 0 .. capacity). */
    bool writeBuffer (const float* const* source, int numSourceChannels, int numSamples,
                      int sourceStartSample, bool allOrNothing) noexcept;
    bool writeBuffer (const juce::AudioSourceChannelInfo& info, bool allOrNothing) noexcept;

    /** Reader side (real-time): fills numSamples samples of each destination channel from
        dest[ch] + destStartSample on. Destination channels the ring does not have are cleared;
        null channels are skipped. When the read is refused (allOrNothing, or a count outside
        0 .. capacity) the destination region is cleared, nothing is consumed and it returns false. */
    virtual bool readBuffer (float* const* dest, int numDestChannels, int numSamples,
                             int destStartSample, bool allOrNothing) noexcept;
    bool readBuffer (const juce::AudioSourceChannelInfo& info, bool allOrNothing) noexcept;

protected:
    static void clearRegion (float* const* dest, int numDestChannels, int numSamples, int destStartSample) noexcept;

    juce::AudioBuffer<float> storage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CircularAudioBuffer)
};
