#pragma once

#include "ControlAttachment.h"

/** Binds a toggle button (an image button or a footswitch) to a switch parameter of the tree:
    the toggle state shows the value, a click sets the parameter to the new toggle state.
*/
class ButtonAttachment : public ControlAttachment<juce::Button>
{
public:
    ButtonAttachment (AudioValueTreeState& state, const juce::String& parameterId, juce::Button& button);
    ~ButtonAttachment() override;

    void buttonClicked (juce::Button*) override;
    void setControlValue (int value, juce::NotificationType notification) override;
    int getControlValue() const override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ButtonAttachment)
};
