#pragma once

#include "MessageThreadTest.h"
#include "PluginProcessor.h"

/** A processor in a fresh temporary home, on the test's message thread. */
class ProcessorTestBase : public MessageThreadTest
{
protected:
    using Parameter = AudioValueTreeState::Parameter;

    void SetUp() override   { processor = std::make_unique<ThornvaleAudioProcessor>(); }
    void TearDown() override { processor.reset(); }

    AudioValueTreeState& tree()                    { return processor->getParameterState(); }
    Parameter& param (const char* id)              { return *tree().getParameter (id); }

    /** A change as a host makes it: the framework's setValue, on whatever thread calls this. */
    static void hostSet (Parameter& p, int value)
    {
        static_cast<juce::AudioProcessorParameter&> (p).setValue (p.toNormalised (value));
    }

    std::unique_ptr<ThornvaleAudioProcessor> processor;
};

/** Records what the tree reports to its listeners. */
struct RecordingTreeListener : public AudioValueTreeState::Listener
{
    struct Report
    {
        juce::String id;
        int value, controller;
        bool operator== (const Report& o) const   { return id == o.id && value == o.value && controller == o.controller; }
    };

    void parameterChanged (AudioValueTreeState::Parameter* p, int value, int controller) override
    {
        reports.push_back ({ p->paramID, value, controller });
    }

    std::vector<Report> reports;
};

inline std::ostream& operator<< (std::ostream& os, const RecordingTreeListener::Report& r)
{
    return os << "(" << r.id << ", " << r.value << ", " << r.controller << ")";
}
