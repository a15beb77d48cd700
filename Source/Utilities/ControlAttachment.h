#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include "AudioValueTreeState.h"

/** Binds one editor control (a juce::Slider or a juce::Button) to one parameter of the tree.

    The control shows the value that the parameter's "PARAM" child records, whoever changed it
    (host, pedal, program load), without calling back into the parameter. User input goes to
    Parameter::set with the editor as its source, and mouse down and mouse up on the control
    (or any of its children) open and close the host gesture around it. A change that comes
    without the mouse (keyboard, text box, double-click) is a gesture of its own, closed at once.

    The attachment registers with the control and the tree and unregisters from both when it is
    destroyed, so the control may outlive it. Message thread only.

    @see SliderAttachment, ButtonAttachment
*/
template <typename ControlType>
class ControlAttachment : public ControlType::Listener,
                          public juce::ValueTree::Listener,
                          public juce::MouseListener
{
public:
    ~ControlAttachment() override;

    ControlType& getControl() const noexcept                        { return control; }
    AudioValueTreeState::Parameter* getParameter() const noexcept   { return parameter; }

    /** Shows an integer value on the control, with or without the control's own notification. */
    virtual void setControlValue (int value, juce::NotificationType notification) = 0;

    /** The control's value as the parameter's integer value. */
    virtual int getControlValue() const = 0;

    void valueTreePropertyChanged (juce::ValueTree& changedTree, const juce::Identifier& property) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;

protected:
    /** Registers with the control and the parameter's tree child. A derived class sets up its
        control, then calls refreshControl() to show the current value. */
    ControlAttachment (AudioValueTreeState& stateToUse, const juce::String& parameterId, ControlType& controlToUse);

    /** Shows the value the tree records, without notifying. */
    void refreshControl();

    /** Hands the control's value to the parameter; called from the control's callback. */
    void controlValueChanged();

private:
    ControlType& control;
    AudioValueTreeState& state;
    juce::ValueTree tree;
    AudioValueTreeState::Parameter* parameter = nullptr;
    bool mouseGestureOpen = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ControlAttachment)
};

extern template class ControlAttachment<juce::Slider>;
extern template class ControlAttachment<juce::Button>;
