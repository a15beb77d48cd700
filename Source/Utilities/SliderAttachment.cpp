#include "SliderAttachment.h"

SliderAttachment::SliderAttachment (AudioValueTreeState& state, const juce::String& parameterId, juce::Slider& slider)
    : ControlAttachment (state, parameterId, slider)
{
    if (auto* p = getParameter())
        slider.setRange (0.0, (double) p->getMaxValue(), 1.0);

    refreshControl();
}

SliderAttachment::~SliderAttachment() = default;

void SliderAttachment::sliderValueChanged (juce::Slider*)
{
    controlValueChanged();
}

void SliderAttachment::setControlValue (int value, juce::NotificationType notification)
{
    getControl().setValue ((double) value, notification);
}

int SliderAttachment::getControlValue() const
{
    return (int) getControl().getValue();
}
