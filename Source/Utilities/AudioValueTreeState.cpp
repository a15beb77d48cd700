#include "AudioValueTreeState.h"
#include "AdvisorySection.h"
#include "MessageThread.h"

//==============================================================================
AudioValueTreeState::Parameter::Parameter (const juce::String& id, const juce::String& name, int controllerNumberToUse,
                                           int maximum, int defaultValue, bool partOfPreset, const juce::String& label,
                                           std::function<juce::String (int, int)> textFromValue,
                                           std::function<int (const juce::String&)> valueFromText,
                                           bool isAutomatableParameter, bool isDiscreteParameter, bool isBooleanParameter)
    : juce::AudioParameterInt (juce::ParameterID { id, 1 }, name, 0, maximum, defaultValue,
                               juce::AudioParameterIntAttributes().withLabel (label)
                                                                  .withStringFromValueFunction (std::move (textFromValue))
                                                                  .withValueFromStringFunction (std::move (valueFromText))
                                                                  .withAutomatable (isAutomatableParameter)
                                                                  .withMeta (true)),
      isPartOfPreset (partOfPreset),
      controllerNumber (controllerNumberToUse),
      maxValue (maximum),
      automatable (isAutomatableParameter),
      discrete (isDiscreteParameter),
      boolean (isBooleanParameter)
{
}

AudioValueTreeState::Parameter::~Parameter() = default;

int AudioValueTreeState::Parameter::getNumSteps() const
{
    return maxValue + 1;
}

float AudioValueTreeState::Parameter::toNormalised (int v) const
{
    return getNormalisableRange().convertTo0to1 ((float) juce::jlimit (0, maxValue, v));
}

void AudioValueTreeState::Parameter::valueChanged (int)
{
    if (onValueChanged != nullptr)
        onValueChanged();
}

void AudioValueTreeState::Parameter::set (int value, GestureTracker::ParameterChangeSource source)
{
    jassert (MessageThread::isCurrent());

    const auto n = toNormalised (value);
    auto* state = owner != nullptr ? owner->tracker.getOrCreateGestureState (this, source) : nullptr;

    if (state != nullptr)
    {
        if (state->holding)
        {
            state->pendingSet = true;
            state->endRequested = false;
            state->pendingValue = n;
            return;
        }

        setValueNotifyingHost (n);
        return;
    }

    if (! juce::approximatelyEqual (n, static_cast<juce::AudioProcessorParameter*> (this)->getValue()))
        setValueNotifyingHost (n);
}

juce::String AudioValueTreeState::Parameter::valueToText (float value, int maximumLength)
{
    if (maximumLength <= 0)
        return {};

    return juce::String (value < 1.0f ? "Off" : "On").substring (0, maximumLength);
}

int AudioValueTreeState::Parameter::textToValue (const juce::String& text)
{
    return text == "On" ? 1 : 0;
}

//==============================================================================
AudioValueTreeState::AudioValueTreeState (const juce::Identifier& rootType)
    : state (rootType)
{
    state.setProperty (ID::version, versionString, nullptr);
    state.addListener (this);
    startTimer (100);
}

AudioValueTreeState::~AudioValueTreeState()
{
    // The parameters are not owned here and may already be gone (whoever owns them cuts their
    // way back into the tree before they outlive it).
    stopTimer();
    state.removeListener (this);
    listeners.clear();
    parameters.clear();
}

void AudioValueTreeState::addParameter (Parameter* p)
{
    jassert (p != nullptr && ! parameters.contains (p));

    p->onValueChanged = [this, p]
    {
        // Host changes may arrive on any thread; those are picked up by the timer.
        if (MessageThread::isCurrent())
            updateParameter (p);
    };

    juce::ValueTree child (ID::PARAM);
    child.setProperty (ID::id, p->paramID, nullptr);
    child.setProperty (ID::value, p->get(), nullptr);
    state.appendChild (child, nullptr);

    // The tree child already mirrors the current value: start from it, so that the first tick
    // does not report thirteen "changes" that nobody made (which would mark a freshly loaded
    // program modified and send every value to the pedal).
    p->lastValue = p->get();
    p->owner = this;
    p->valueTree = child;
    parameters.add (p);

    if (p->isAutomatable())
        tracker.addParameter (*p);
}

void AudioValueTreeState::linkParameters (Parameter* link, Parameter* first, Parameter* second, int sharedControllerNumber)
{
    jassert (link != nullptr && first != nullptr && second != nullptr);
    jassert (link->isBoolean() && link->sharedControllerNumber == -1);
    jassert (first->linkParameter == nullptr && second->linkParameter == nullptr);

    first->linkParameter = second->linkParameter = link;
    first->partnerParameter = second;
    second->partnerParameter = first;
    first->sharedControllerNumber = second->sharedControllerNumber = sharedControllerNumber;
}

AudioValueTreeState::Parameter* AudioValueTreeState::getParameter (juce::StringRef id) const
{
    for (auto* p : parameters)
        if (p->paramID == id)
            return p;

    return nullptr;
}

void AudioValueTreeState::addListener (Listener* listener)
{
    listeners.addIfNotAlreadyThere (listener);
}

void AudioValueTreeState::removeListener (Listener* listener)
{
    listeners.removeAllInstancesOf (listener);
}

bool AudioValueTreeState::updateParameter (Parameter* p)
{
    jassert (MessageThread::isCurrent());

    if (AdvisorySection::isHeld (updateSection))
        return false;

    const int v = p->get();

    if (v == p->lastValue)
        return false;

    // Writes made here exclude the tree's own listener: they mirror the parameter, they are not
    // a change coming from the tree (which would end the gesture that is driving them).
    p->lastValue = v;
    p->valueTree.setPropertyExcludingListener (this, ID::value, v, nullptr);
    int controller = p->controllerNumber;

    if (auto* link = p->linkParameter; link != nullptr && link->get() != 0)
    {
        auto* partner = p->partnerParameter;
        jassert (partner != nullptr && partner->sharedControllerNumber == p->sharedControllerNumber);

        const AdvisorySection section (updateSection);
        controller = p->sharedControllerNumber;

        if (partner != nullptr && partner->lastValue != v)
        {
            partner->lastValue = v;
            partner->set (v, GestureTracker::sourceOther);
            partner->valueTree.setPropertyExcludingListener (this, ID::value, v, nullptr);
        }
    }

    for (int i = listeners.size(); --i >= 0;)
        listeners.getUnchecked (i)->parameterChanged (p, v, controller);

    return true;
}

bool AudioValueTreeState::updateParameters()
{
    bool any = false;

    for (auto* p : parameters)
        any |= updateParameter (p);

    for (int i = listeners.size(); --i >= 0;)
        any |= listeners.getUnchecked (i)->updateExtraParameters();

    return any;
}

juce::ValueTree AudioValueTreeState::copyState()
{
    updateParameters();
    return state.createCopy();
}

void AudioValueTreeState::timerCallback()
{
    if (updateParameters())
    {
        startTimer (20);
        return;
    }

    const int t = getTimerInterval();
    startTimer (t < 30 ? 50 : juce::jmin (t, 480) + 20);
}

void AudioValueTreeState::valueTreePropertyChanged (juce::ValueTree& child, const juce::Identifier&)
{
    const auto id = child.getProperty (ID::id).toString();

    if (id.isEmpty())
        return;

    if (auto* p = getParameter (id))
        p->set ((int) child.getProperty (ID::value), GestureTracker::sourceOther);
}
