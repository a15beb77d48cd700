#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

/** One connected pedal: its MIDI link, its audio stream and its settings.

    The protocol handling, the mode reports, the keep-alive and the audio stream are added on
    top of this interface; until then a pedal object only carries its name and mode.
*/
class UsbDevice
{
public:
    enum Mode
    {
        none    = 0,
        control = 1,
        audio   = 2
    };

    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void incomingMidiMessage (UsbDevice*, const juce::MidiMessage&) {}
        virtual void deviceStatusChanged (UsbDevice*) {}
        virtual void deviceConnected (UsbDevice*) {}
        virtual void deviceLatencyChanged (int) {}
    };

    /** Whoever holds a pedal for use (a plug-in instance). */
    class Holder
    {
    public:
        virtual ~Holder() = default;
        virtual UsbDevice* getDevice() = 0;
    };

    explicit UsbDevice (const juce::String& deviceName);
    virtual ~UsbDevice();

    const juce::String& getName() const noexcept   { return name; }
    Mode getMode() const noexcept                   { return mode; }

    /** Gives the pedal up: mode none, ports and audio closed. */
    virtual void release();

    void addListener (Listener* listener)       { listeners.addIfNotAlreadyThere (listener); }
    void removeListener (Listener* listener)    { listeners.removeAllInstancesOf (listener); }

protected:
    juce::String name;
    Mode mode = none;
    juce::Array<Listener*> listeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UsbDevice)
};
