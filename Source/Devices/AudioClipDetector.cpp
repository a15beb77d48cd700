#include "AudioClipDetector.h"
#include "Utilities/MessageThread.h"

AudioClipDetector::AudioClipDetector()
{
    startTimer (timerIntervalMs);
}

AudioClipDetector::~AudioClipDetector()
{
    stopTimer();
}

// Audio thread.
void AudioClipDetector::feed (const juce::AudioBuffer<float>& block) noexcept
{
    int bits = 0;
    const int numChannels = juce::jmin (block.getNumChannels(), 2);
    const int numSamples = block.getNumSamples();

    for (int ch = 0; ch < numChannels; ++ch)
    {
        const float* samples = block.getReadPointer (ch);

        for (int i = 0; i < numSamples; ++i)
        {
            if (std::abs (samples[i]) >= clipLevel)
            {
                bits |= 1 << ch;
                break;
            }
        }
    }

    const int previous = juce::jmax (0, clipBits.load());
    clipBits.exchange (previous | bits);
    idleTicks.exchange (0);
}

int AudioClipDetector::take()
{
    jassert (MessageThread::isCurrent());
    return clipBits.exchange (nothingNew);
}

void AudioClipDetector::timerCallback()
{
    jassert (MessageThread::isCurrent());

    if (idleTicks.load() <= 1 && idleTicks.fetch_add (1) > 0)
        clipBits.exchange (0);
}
