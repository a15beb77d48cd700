#pragma once

#include "ControlAttachment.h"

/** Binds a knob to a parameter of the tree. The slider's range becomes the parameter's integer
    range with a step of one, so the slider only reports whole values and reports each once.
*/
class SliderAttachment : public ControlAttachment<juce::Slider>
{
public:
    SliderAttachment (AudioValueTreeState& state, const juce::String& parameterId, juce::Slider& slider);
    ~SliderAttachment() override;

    void sliderValueChanged (juce::Slider*) override;
    void setControlValue (int value, juce::NotificationType notification) override;
    int getControlValue() const override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SliderAttachment)
};
