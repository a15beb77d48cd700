#include "ButtonAttachment.h"

ButtonAttachment::ButtonAttachment (AudioValueTreeState& state, const juce::String& parameterId, juce::Button& button)
    : ControlAttachment (state, parameterId, button)
{
    refreshControl();
}

ButtonAttachment::~ButtonAttachment() = default;

void ButtonAttachment::buttonClicked (juce::Button*)
{
    controlValueChanged();
}

void ButtonAttachment::setControlValue (int value, juce::NotificationType notification)
{
    getControl().setToggleState (value != 0, notification);
}

int ButtonAttachment::getControlValue() const
{
    return getControl().getToggleState() ? 1 : 0;
}
