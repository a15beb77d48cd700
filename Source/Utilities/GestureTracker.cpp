#include "GestureTracker.h"

GestureTracker::GestureState::GestureState (GestureTracker& owner, juce::AudioProcessorParameter& parameterToTrack, bool shouldHold)
    : tracker (&owner), parameter (&parameterToTrack), holdEnabled (shouldHold)
{
}

GestureTracker::GestureState::~GestureState()
{
    stopTimer (timeoutTimer);
    stopTimer (holdTimer);
}

void GestureTracker::GestureState::begin (ParameterChangeSource source)
{
    if (idle)
    {
        holding = false;
        pendingSet = false;
        endRequested = false;
        pendingValue = 0.0f;
        idle = false;

        parameter->beginChangeGesture();

        if (holdEnabled)
        {
            holding = true;
            startAtLeast (holdTimer, holdMs);
        }
    }

    gestureSource = source;

    if (source == sourcePedal)
        startAtLeast (timeoutTimer, timeoutMs);
    else
        stopTimer (timeoutTimer);
}

void GestureTracker::GestureState::startAtLeast (int timerId, int milliseconds)
{
    deadline[timerId] = juce::Time::getMillisecondCounterHiRes() + milliseconds;
    startTimer (timerId, milliseconds);
}

bool GestureTracker::GestureState::waitLonger (int timerId)
{
    const auto remaining = deadline[timerId] - juce::Time::getMillisecondCounterHiRes();

    if (remaining < 1.0)
        return false;

    startTimer (timerId, (int) std::ceil (remaining));
    return true;
}

void GestureTracker::GestureState::endGesture()
{
    if (idle)
        return;

    parameter->endChangeGesture();
    stopTimer (timeoutTimer);
    stopTimer (holdTimer);
    holding = false;
    idle = true;
}

void GestureTracker::GestureState::timerCallback (int timerId)
{
    if ((timerId == timeoutTimer || timerId == holdTimer) && waitLonger (timerId))
        return;

    if (timerId == timeoutTimer)
    {
        stopTimer (timeoutTimer);
        endGesture();
        return;
    }

    if (timerId == holdTimer)
    {
        holding = false;
        stopTimer (holdTimer);

        if (pendingSet)
        {
            pendingSet = false;
            parameter->setValue (pendingValue);
            parameter->sendValueChangedMessageToListeners (pendingValue);

            if (endRequested)
                endGesture();
        }
    }
}

//==============================================================================
GestureTracker::~GestureTracker()
{
    for (auto* state : states)
        state->endGesture();
}

void GestureTracker::addParameter (juce::AudioProcessorParameter& parameter)
{
    if (findState (&parameter) == nullptr)
        states.add (new GestureState (*this, parameter, holdEnabled));
}

GestureTracker::GestureState* GestureTracker::findState (const juce::AudioProcessorParameter* parameter) const
{
    for (auto* state : states)
        if (state->parameter == parameter)
            return state;

    return nullptr;
}

void GestureTracker::setHoldEnabled (bool shouldHold)
{
    holdEnabled = shouldHold;

    for (auto* state : states)
        state->holdEnabled = shouldHold;
}

GestureTracker::GestureState* GestureTracker::getOrCreateGestureState (juce::AudioProcessorParameter* parameter,
                                                                       ParameterChangeSource source)
{
    if (parameter == nullptr)
        return nullptr;

    if ((source == sourcePedal || source == sourceEditor) && parameter->isAutomatable())
    {
        auto* state = findState (parameter);

        if (state != nullptr)
            state->begin (source);

        return state;
    }

    if (auto* state = findState (parameter))
        state->endGesture();

    return nullptr;
}

void GestureTracker::endGesture (juce::AudioProcessorParameter* parameter, ParameterChangeSource, bool)
{
    auto* state = findState (parameter);

    if (state == nullptr || state->idle || state->gestureSource != sourceEditor)
        return;

    state->endRequested = state->pendingSet;

    if (state->pendingSet)
        return;   // the end of the hold applies the value, then ends the gesture

    state->endGesture();
}
