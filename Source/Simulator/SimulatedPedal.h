#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include "Devices/PedalProtocol.h"
#include "FuzzModel.h"
#include "SimulatedAudioIODevice.h"

/** A Thornvale pedal in software: it answers the plug-in's protocol messages the way the pedal
    does (docs/pedal-contract.md), with the same codec the plug-in uses, and drives the sound of
    its simulated audio device.

    Messages from the plug-in arrive through receive() (the simulated MIDI output); the pedal's
    own messages go out on a thread of its own (the simulated MIDI thread) to whoever opened its
    MIDI input. Its state (presets, live settings, id, firmware) lives as long as the object, so it
    survives unplugging and replugging, like hardware.

    Tests drive it like a person at the pedal (turn a knob, recall a preset, press a footswitch)
    and inject faults (silence, unplugging, dropped or duplicated messages, malformed SysEx). It
    keeps every message it received.
*/
class SimulatedPedal : private juce::Thread
{
public:
    struct Options
    {
        juce::uint8 sysexId = 0x21;
        int channel = 0;
        int firmwareVersion = 0x010203;     ///< 1.2.3
        SimulatedAudioIODevice::Options audio;
    };

    SimulatedPedal (const juce::String& pedalName, const Options& options);
    ~SimulatedPedal() override;

    const juce::String& getName() const noexcept   { return name; }
    juce::String getInputPortName() const           { return name + " MIDI 1"; }
    juce::String getOutputPortName() const          { return name + " MIDI 1"; }
    juce::String getInputIdentifier() const;
    juce::String getOutputIdentifier() const;
    const Options& getOptions() const noexcept      { return options; }

    //==============================================================================
    // Presence: the three parts can be unplugged and replugged separately.
    bool isMidiPresent() const noexcept    { return midiPresent; }
    bool isAudioPresent() const noexcept   { return audioPresent; }
    void setMidiPresent (bool present);
    void setAudioPresent (bool present)    { audioPresent = present; }
    void unplug()                          { setMidiPresent (false); setAudioPresent (false); }
    void replug()                          { setMidiPresent (true); setAudioPresent (true); }

    //==============================================================================
    // The simulated ports.
    /** Whoever opened the pedal's MIDI input; messages reach it while it is started. */
    void connectInput (juce::MidiInputCallback* callback);
    void disconnectInput (juce::MidiInputCallback* callback);
    void setInputStarted (juce::MidiInputCallback* callback, bool started);

    /** A message from the plug-in (the simulated MIDI output). */
    void receive (const juce::MidiMessage& message);

    //==============================================================================
    // Like a person at the pedal.
    void turnKnob (int controllerNumber, int value);
    void recallPreset (int slot);
    void changeProgram (int value);
    void setFootswitches (int bits);
    /** Sends any bytes as they are (for malformed messages). */
    void sendRaw (const void* data, int size);

    // Faults.
    void setSilent (bool shouldBeSilent)      { silent = shouldBeSilent; }
    void dropNextMessages (int count)         { toDrop = count; }
    void duplicateNextMessages (int count)    { toDuplicate = count; }

    //==============================================================================
    // What tests look at.
    std::vector<juce::MidiMessage> getReceivedMessages() const;
    void clearReceivedMessages();
    /** How many received messages were of this group and value. */
    int countReceived (int group, int value) const;

    int getMode() const noexcept                { return mode; }   ///< 0 none, 1 audio, 2 control (as in ModeStatus)
    PRESET getPreset (int slot) const;
    PRESET getLiveState() const;
    bool isPassThrough() const noexcept         { return sound->passThrough.load(); }
    std::shared_ptr<FuzzModel::Parameters> getSoundParameters() const   { return sound; }

    /** The pedal's factory presets, as ResetFactoryPresets restores them. */
    static PRESET factoryPreset (int slot);

private:
    void run() override;
    void send (juce::uint8 groupAndChannelGroup, juce::uint8 value, const void* payload = nullptr, int length = 0,
               juce::uint8 idToSend = 0);
    void post (const juce::MidiMessage& message);
    void handleSystem (const PedalProtocol::Frame& frame);
    void handlePreset (const PedalProtocol::Frame& frame);
    void applyParameter (int controller, int value);
    void applyLiveStateToSound();
    void sendModeStatus();

    const juce::String name;
    const Options options;

    std::atomic<bool> midiPresent { true }, audioPresent { true }, silent { false };
    std::atomic<int> toDrop { 0 }, toDuplicate { 0 };

    juce::CriticalSection stateLock;                    // presets, live state, mode (message thread + tests)
    PRESET presets[PedalProtocol::numPresetSlots];
    PRESET live;
    int mode = 0;
    std::shared_ptr<FuzzModel::Parameters> sound;
    std::vector<juce::MidiMessage> received;

    juce::CriticalSection outgoingLock;                 // the simulated MIDI thread's queue
    std::deque<juce::MidiMessage> outgoing;
    juce::WaitableEvent messageWaiting;

    juce::CriticalSection callbackLock;                 // held while a message is delivered
    juce::MidiInputCallback* inputCallback = nullptr;
    bool inputStarted = false;

    // No leak detector: simulated pedals live in the process-wide platform until the process (or
    // the plug-in's library) ends, after the detector's own count is checked.
    JUCE_DECLARE_NON_COPYABLE (SimulatedPedal)
};
