#include "MidiDevice.h"

MidiDevice::MidiDevice (const juce::MidiDeviceInfo& inputPort, const juce::MidiDeviceInfo& outputPort, MidiPorts& platformToUse)
    : platform (platformToUse), inputInfo (inputPort), outputInfo (outputPort)
{
    startTimer (drainIntervalMs);
}

MidiDevice::~MidiDevice()
{
    stopTimer();
    close();
}

void MidiDevice::open()
{
    if (inputInfo.identifier.isNotEmpty())
    {
        input.reset();   // the old port stops delivering before the new one starts
        input = platform.openInput (inputInfo.identifier, this);

        if (input != nullptr)
            input->start();
    }

    if (outputInfo.identifier.isNotEmpty())
    {
        output.reset();
        output = platform.openOutput (outputInfo.identifier);
    }
}

void MidiDevice::close()
{
    if (input != nullptr)
    {
        input->stop();
        input.reset();
    }

    if (output != nullptr)
    {
        output->clearAllPendingMessages();
        output.reset();
    }
}

void MidiDevice::sendMessageNow (const juce::MidiMessage& message)
{
    if (output != nullptr)
        output->sendMessageNow (message);
}

void MidiDevice::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
{
    queue.write (message);
}

void MidiDevice::timerCallback()
{
    juce::MidiMessage message;

    while (queue.read (message))
        for (int i = 0; i < listeners.size(); ++i)
            listeners.getUnchecked (i)->incomingMidiMessage (this, message);
}
