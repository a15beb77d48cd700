#include "CircularAudioBuffer.h"

CircularAudioBuffer::CircularAudioBuffer (int numChannels, int numSamples)
    : AbstractQueue (numSamples),
      storage (numChannels, numSamples)
{
    storage.clear();
}

CircularAudioBuffer::~CircularAudioBuffer() = default;

void CircularAudioBuffer::reset()
{
    resetIndices();
}

void CircularAudioBuffer::clear()
{
    storage.clear();
}

// Real-time: writer thread.
bool CircularAudioBuffer::writeBuffer (const float* const* source, int numSourceChannels, int numSamples,
                                       int sourceStartSample, bool allOrNothing) noexcept
{
    const auto r = reserveWrite (numSamples, allOrNothing);

    if (r.total() > 0)
    {
        for (int ch = 0; ch < storage.getNumChannels(); ++ch)
        {
            auto* ring = storage.getWritePointer (ch);
            const float* src = (source != nullptr && ch < numSourceChannels) ? source[ch] : nullptr;

            if (src != nullptr)
            {
                src += sourceStartSample;
                juce::FloatVectorOperations::copy (ring + r.start1, src, r.size1);

                if (r.size2 > 0)
                    juce::FloatVectorOperations::copy (ring, src + r.size1, r.size2);
            }
            else
            {
                juce::FloatVectorOperations::clear (ring + r.start1, r.size1);

                if (r.size2 > 0)
                    juce::FloatVectorOperations::clear (ring, r.size2);
            }
        }

        commitWrite (r.total());
    }

    return ! r.failed;
}

// Real-time: writer thread.
bool CircularAudioBuffer::writeBuffer (const juce::AudioSourceChannelInfo& info, bool allOrNothing) noexcept
{
    jassert (info.buffer != nullptr);
    return writeBuffer (info.buffer->getArrayOfReadPointers(), info.buffer->getNumChannels(),
                        info.numSamples, info.startSample, allOrNothing);
}

void CircularAudioBuffer::clearRegion (float* const* dest, int numDestChannels, int numSamples, int destStartSample) noexcept
{
    if (dest == nullptr || numSamples <= 0)
        return;

    for (int ch = 0; ch < numDestChannels; ++ch)
        if (dest[ch] != nullptr)
            juce::FloatVectorOperations::clear (dest[ch] + destStartSample, numSamples);
}

// Real-time: reader thread.
bool CircularAudioBuffer::readBuffer (float* const* dest, int numDestChannels, int numSamples,
                                      int destStartSample, bool allOrNothing) noexcept
{
    const auto r = reserveRead (numSamples, allOrNothing);

    if (r.failed)
    {
        clearRegion (dest, numDestChannels, numSamples, destStartSample);
        return false;
    }

    if (dest != nullptr)
    {
        for (int ch = 0; ch < numDestChannels; ++ch)
        {
            float* d = dest[ch];

            if (d == nullptr)
                continue;

            d += destStartSample;

            if (ch < storage.getNumChannels())
            {
                const auto* ring = storage.getReadPointer (ch);
                juce::FloatVectorOperations::copy (d, ring + r.start1, r.size1);

                if (r.size2 > 0)
                    juce::FloatVectorOperations::copy (d + r.size1, ring, r.size2);
            }
            else
            {
                juce::FloatVectorOperations::clear (d, numSamples);
            }
        }
    }

    if (r.total() > 0)
        commitRead (r.total());

    return true;
}

// Real-time: reader thread.
bool CircularAudioBuffer::readBuffer (const juce::AudioSourceChannelInfo& info, bool allOrNothing) noexcept
{
    jassert (info.buffer != nullptr);
    info.buffer->setNotClear();
    return readBuffer (info.buffer->getArrayOfWritePointers(), info.buffer->getNumChannels(),
                       info.numSamples, info.startSample, allOrNothing);
}
