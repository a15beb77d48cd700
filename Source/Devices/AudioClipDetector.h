#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_events/juce_events.h>

/** Drives the two clip lights: collects clip bits of the pedal's returned audio on the host's
    audio thread and hands them to the message thread through one atomic integer.

    Bit 0 is the left channel, bit 1 the right. The value is -1 once the consumer has taken it
    and no host block came since. A 200 ms timer clears the indication once audio stops.
*/
class AudioClipDetector : private juce::Timer
{
public:
    static constexpr float clipLevel = 0.8912509f;   // -1 dB full scale
    static constexpr int timerIntervalMs = 200;
    static constexpr int nothingNew = -1;

    AudioClipDetector();
    ~AudioClipDetector() override;

    /** Audio thread: looks at the first two channels of a host block. */
    void feed (const juce::AudioBuffer<float>& block) noexcept;

    /** Message thread: returns the lights' new state (bits 0 and 1), or nothingNew. */
    int take();

    /** Message thread: the timer's work, public so that tests can run it themselves. */
    void timerCallback() override;

private:
    std::atomic<int> clipBits { 0 };
    std::atomic<int> idleTicks { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioClipDetector)
};
