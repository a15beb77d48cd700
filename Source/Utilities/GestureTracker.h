#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** Opens and closes host gestures around the changes that a host should record.

    Editor gestures last from mouse down to mouse up; pedal gestures end a while after the
    pedal's last change, because the pedal has no "let go" message. Right after a gesture opens,
    the first value is held back briefly so that a host sees the begin before the value.
    Program loads and other internal changes are not gestures: they close any gesture that is
    open on the parameter before they change it.

    Message thread only.
*/
class GestureTracker
{
public:
    enum ParameterChangeSource
    {
        sourceOther   = 0,
        sourceProgram = 1,
        sourcePedal   = 2,
        sourceEditor  = 3
    };

    static constexpr int holdMs = 80;
    static constexpr int defaultTimeoutMs = 300;

    class GestureState : private juce::MultiTimer
    {
    public:
        GestureState (GestureTracker& owner, juce::AudioProcessorParameter& parameterToTrack, bool holdEnabled);
        ~GestureState() override;

        juce::AudioProcessorParameter* getParameter() const noexcept   { return parameter; }

        /** Ends an open gesture at once (stopping both timers); does nothing when idle. */
        void endGesture();

        int timeoutMs = defaultTimeoutMs;
        GestureTracker* tracker;
        juce::AudioProcessorParameter* parameter;
        ParameterChangeSource gestureSource = sourceOther;
        bool holdEnabled;
        bool holding = false;
        bool pendingSet = false;
        bool endRequested = false;
        float pendingValue = 0.0f;
        bool idle = true;

        enum TimerIds { timeoutTimer = 0, holdTimer = 1 };

        /** Runs a timer's expiry now; lets tests drive the timers without waiting. */
        void timerCallback (int timerId) override;

    private:
        friend class GestureTracker;
        void begin (ParameterChangeSource source);

        /** Starts a timer that fires no earlier than the given time from now (JUCE's timer thread
            may fire a freshly started timer early; the callback then waits out the rest). */
        void startAtLeast (int timerId, int milliseconds);
        bool waitLonger (int timerId);

        double deadline[2] {};

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GestureState)
    };

    GestureTracker() = default;
    /** Ends any gesture still open, so that no host is left with a dangling begin. */
    ~GestureTracker();

    /** Creates the gesture state of an automatable parameter; a second call for the same
        parameter creates nothing. */
    void addParameter (juce::AudioProcessorParameter& parameter);

    /** Begins or continues a gesture for the pedal and the editor and returns its state; for
        any other source ends an open gesture and returns nullptr. */
    GestureState* getOrCreateGestureState (juce::AudioProcessorParameter* parameter, ParameterChangeSource source);

    /** Ends an editor gesture (mouse up). The flag tells whether the control was dragged;
        it is informational and does not change what happens. */
    void endGesture (juce::AudioProcessorParameter* parameter, ParameterChangeSource source, bool wasDragged = false);

    GestureState* findState (const juce::AudioProcessorParameter* parameter) const;

    /** Whether the first value of a gesture is held back. True inside the plug-in wrappers;
        applies to existing and future states. */
    void setHoldEnabled (bool shouldHold);
    bool isHoldEnabled() const noexcept   { return holdEnabled; }

    const juce::OwnedArray<GestureState>& getStates() const noexcept   { return states; }

private:
    juce::OwnedArray<GestureState> states;
    bool holdEnabled = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GestureTracker)
};
