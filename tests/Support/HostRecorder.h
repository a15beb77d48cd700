#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** What a host sees of a processor: gesture begins ('b') and ends ('e') and value changes ('v'),
    per parameter index, with their times. */
struct HostRecorder : public juce::AudioProcessorListener
{
    struct Event
    {
        char kind;      // 'b' begin, 'v' value, 'e' end
        int index;
        float value;
        juce::uint32 time;
    };

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        events.push_back ({ 'v', index, value, juce::Time::getMillisecondCounter() });
    }

    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ 'b', index, 0.0f, juce::Time::getMillisecondCounter() });
    }

    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ 'e', index, 0.0f, juce::Time::getMillisecondCounter() });
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    std::string kinds (int index) const
    {
        std::string s;
        for (auto& e : events)
            if (e.index == index)
                s += e.kind;
        return s;
    }

    const Event* first (char kind, int index) const
    {
        for (auto& e : events)
            if (e.kind == kind && e.index == index)
                return &e;
        return nullptr;
    }

    std::vector<Event> events;
};
