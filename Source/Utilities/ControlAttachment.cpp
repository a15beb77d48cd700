#include "ControlAttachment.h"

template <typename ControlType>
ControlAttachment<ControlType>::ControlAttachment (AudioValueTreeState& stateToUse, const juce::String& parameterId,
                                                   ControlType& controlToUse)
    : control (controlToUse),
      state (stateToUse),
      parameter (stateToUse.getParameter (parameterId))
{
    // The editor only binds the tree's own parameter ids.
    jassert (parameter != nullptr);

    if (parameter == nullptr)
        return;

    tree = state.state.getChildWithProperty (ID::id, parameter->paramID);
    jassert (tree.isValid());

    control.addListener (this);   // the control's list keeps a listener once
    control.addMouseListener (this, true);
    tree.addListener (this);
}

template <typename ControlType>
ControlAttachment<ControlType>::~ControlAttachment()
{
    if (parameter == nullptr)
        return;

    tree.removeListener (this);
    control.removeMouseListener (this);
    control.removeListener (this);
}

template <typename ControlType>
void ControlAttachment<ControlType>::refreshControl()
{
    if (tree.isValid())
        setControlValue ((int) tree.getProperty (ID::value), juce::dontSendNotification);
}

template <typename ControlType>
void ControlAttachment<ControlType>::controlValueChanged()
{
    if (parameter == nullptr)
        return;

    parameter->set (getControlValue(), GestureTracker::sourceEditor);

    // A change that the mouse did not make (keyboard, text box, a double-click handled after
    // mouse up) gets no mouse up to close its gesture: it is a whole gesture of its own. The
    // control's own mouse-down handling runs before ours, hence the check of the mouse itself.
    if (! mouseGestureOpen && ! control.isMouseButtonDown (true))
        state.getTracker().endGesture (parameter, GestureTracker::sourceEditor);
}

template <typename ControlType>
void ControlAttachment<ControlType>::valueTreePropertyChanged (juce::ValueTree& changedTree, const juce::Identifier&)
{
    if (changedTree == tree)
        refreshControl();
}

template <typename ControlType>
void ControlAttachment<ControlType>::mouseDown (const juce::MouseEvent&)
{
    if (parameter == nullptr)
        return;

    mouseGestureOpen = true;
    state.getTracker().getOrCreateGestureState (parameter, GestureTracker::sourceEditor);
}

template <typename ControlType>
void ControlAttachment<ControlType>::mouseUp (const juce::MouseEvent& e)
{
    if (parameter == nullptr)
        return;

    mouseGestureOpen = false;
    state.getTracker().endGesture (parameter, GestureTracker::sourceEditor, e.mouseWasDraggedSinceMouseDown());
}

template class ControlAttachment<juce::Slider>;
template class ControlAttachment<juce::Button>;
