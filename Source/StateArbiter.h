#pragma once

#include <juce_events/juce_events.h>

class ThornvaleAudioProcessor;

/** Holds the state a new instance would save, for a short while after construction, so that a
    host restoring exactly that state right away does not overwrite the pedal's live settings. */
class StateArbiter : public juce::Timer
{
public:
    static constexpr int holdMs = 300;

    explicit StateArbiter (ThornvaleAudioProcessor& processor) : owner (processor) {}

    void timerCallback() override
    {
        initialState.reset();
        stopTimer();
    }

    ThornvaleAudioProcessor& owner;
    juce::MemoryBlock initialState;
};
