#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include "GestureTracker.h"

namespace ID
{
    static const juce::Identifier PARAM  { "PARAM" };
    static const juce::Identifier DEVICE { "DEVICE" };
    static const juce::Identifier PRESET { "PRESET" };
    static const juce::Identifier id     { "id" };
    static const juce::Identifier value  { "value" };
    static const juce::Identifier version { "version" };
}

/** The plug-in's parameter tree: integer parameters with their MIDI controller numbers,
    mirrored in a juce::ValueTree, with linked stereo pairs and the host-gesture tracker.

    Every change, whatever thread it happens on, reaches the listeners on the message thread as
    (parameter, integer value, controller number), once per distinct integer value: at once when
    it happens on the message thread, otherwise on the next tick of an adaptive timer that runs
    every 20 ms while changes flow and backs off to 500 ms when idle.
*/
class AudioValueTreeState : private juce::ValueTree::Listener,
                            private juce::Timer
{
public:
    class Parameter;

    class Listener
    {
    public:
        virtual ~Listener() = default;

        /** A parameter took a new integer value; controllerNumber is the number to send it
            under (the shared number of a linked pair while its link is on, −1 for none). */
        virtual void parameterChanged (Parameter* /*parameter*/, int /*value*/, int /*controllerNumber*/) {}

        /** Called on every timer tick after the parameters; return true when something changed. */
        virtual bool updateExtraParameters()   { return false; }
    };

    //==============================================================================
    class Parameter : public juce::AudioParameterInt
    {
    public:
        Parameter (const juce::String& id, const juce::String& name, int controllerNumber, int maxValue,
                   int defaultValue, bool isPartOfPreset, const juce::String& label = {},
                   std::function<juce::String (int, int)> textFromValue = nullptr,
                   std::function<int (const juce::String&)> valueFromText = nullptr,
                   bool automatable = true, bool discrete = false, bool boolean = false);

        ~Parameter() override;

        int getNumSteps() const override;
        bool isDiscrete() const override            { return discrete; }
        bool isBoolean() const override             { return boolean; }
        bool isAutomatable() const override         { return automatable; }
        bool isMetaParameter() const override       { return true; }

        /** The one way the system itself changes a parameter: opens, continues or closes the
            host gesture for the source, then sets and notifies. Message thread only. */
        void set (int value, GestureTracker::ParameterChangeSource source);

        int getIntValue() const noexcept            { return get(); }
        int getMaxValue() const noexcept            { return maxValue; }
        float toNormalised (int v) const;

        /** Text of a switch: "Off" below 1, "On" otherwise, cut to maximumLength characters. */
        static juce::String valueToText (float value, int maximumLength);
        /** Value of a switch's text: 1 for exactly "On", 0 for anything else. */
        static int textToValue (const juce::String& text);

        std::function<void()> onValueChanged;
        AudioValueTreeState* owner = nullptr;
        juce::ValueTree valueTree;

        const bool isPartOfPreset;
        int lastValue = -10000;
        const int controllerNumber;
        int sharedControllerNumber = -1;
        Parameter* linkParameter = nullptr;
        Parameter* partnerParameter = nullptr;

    protected:
        void valueChanged (int newValue) override;

    private:
        const int maxValue;
        const bool automatable, discrete, boolean;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Parameter)
    };

    //==============================================================================
    static constexpr const char* versionString = "1.0.70";

    explicit AudioValueTreeState (const juce::Identifier& rootType);
    ~AudioValueTreeState() override;

    void addParameter (Parameter* parameter);
    void linkParameters (Parameter* link, Parameter* first, Parameter* second, int sharedControllerNumber);
    Parameter* getParameter (juce::StringRef id) const;
    const juce::Array<Parameter*>& getParameters() const noexcept   { return parameters; }

    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    bool updateParameter (Parameter* parameter);
    bool updateParameters();

    /** Pushes pending values into the tree, then returns a deep copy of it. */
    juce::ValueTree copyState();

    GestureTracker& getTracker() noexcept   { return tracker; }

    /** The timer's current interval; the tick itself can be run with runTimerTick(). */
    int getTimerIntervalMs() const noexcept  { return getTimerInterval(); }
    void runTimerTick()                      { timerCallback(); }

    juce::ValueTree state;

private:
    void valueTreePropertyChanged (juce::ValueTree& child, const juce::Identifier& property) override;
    void timerCallback() override;

    juce::Array<Parameter*> parameters;
    GestureTracker tracker;
    juce::Array<Listener*> listeners;
    int updateSection = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioValueTreeState)
};
