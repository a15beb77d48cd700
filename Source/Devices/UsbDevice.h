#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include "MidiDevice.h"
#include "AudioIODeviceSource.h"
#include "AudioClipDetector.h"
#include "AudioLatencyDetector.h"
#include "Settings/DeviceSettings.h"

/** One connected pedal in its normal mode: its name, its MIDI link, its audio stream, its clip
    detector, its settings and the protocol state (SysEx id, channel, mode, firmware version,
    silence countdown). It sends every protocol message, filters every received one, runs the
    one-second keep-alive tick, opens and closes the pedal's audio device when the pedal reports
    its mode, and tells its one listener (the plug-in instance using it) what happened.

    Created and destroyed only by the device manager. Message thread, except the three audio
    operations, which the host's block processing calls.
*/
class UsbDevice : public juce::AudioSource,
                  public MidiDevice::Listener,
                  public DeviceSettings::Listener,
                  public juce::MultiTimer
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
        virtual void deviceStatusChanged (UsbDevice*) {}
        virtual void deviceConnected (UsbDevice*) {}
        virtual void incomingMidiMessage (UsbDevice*, const juce::MidiMessage&) {}
        virtual void deviceLatencyChanged (int /*latencySamples*/) {}
    };

    /** Whoever holds a pedal for use (a plug-in instance): dialogs reach the pedal through it at
        the moment they act, never through a stored pointer. */
    class Holder
    {
    public:
        virtual ~Holder() = default;
        virtual UsbDevice* getDevice() = 0;
    };

    enum TimerIds { keepAliveTimer = 1 };
    static constexpr int keepAliveIntervalMs = 1000;
    static constexpr juce::uint8 defaultSilenceTimeout = 10;

    /** A pedal in normal mode shows an audio device of its own name besides its MIDI ports. */
    static constexpr bool requiresAudioDevice = true;

    /** Takes ownership of nothing: the ports are opened by identifier through the platform. */
    UsbDevice (const juce::String& deviceName, const juce::MidiDeviceInfo& inputPort,
               const juce::MidiDeviceInfo& outputPort, MidiPorts& platform);
    ~UsbDevice() override;

    /** The pedal name ("TVL-" and four upper-case hexadecimal digits) in a port name, or "". */
    static juce::String extractDeviceName (const juce::String& portName);

    void attach (Listener* listener, Mode requestedMode);
    void detach (Listener* listener);
    void release();

    /** Builds one protocol message with the pedal's id and channel and sends it at once. */
    void sendSysExMessage (unsigned char group, unsigned char value, const void* payload = nullptr, int length = 0);

    /** Reports a latency to the listener; a negative value stands for the stream's own figure. */
    void notifyLatencyChanged (int latencySamples);

    //==============================================================================
    void incomingMidiMessage (MidiDevice* source, const juce::MidiMessage& message) override;
    void timerCallback (int timerId) override;
    void settingsChanged() override;

    /** Host audio thread. */
    void prepareToPlay (int samplesPerBlockExpected, double sampleRate) override;
    void releaseResources() override;
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& info) override;

    //==============================================================================
    const juce::String& getName() const noexcept          { return name; }
    juce::String getSerialNumber() const                   { return name.getLastCharacters (4); }
    /** Any thread (the host's block processing reads it). */
    Mode getMode() const noexcept                          { return mode.load(); }
    int getFirmwareVersion() const noexcept                { return firmwareVersion; }
    int getChannel() const noexcept                        { return channel; }
    juce::uint8 getSysexId() const noexcept                { return sysexId; }
    int getNumListeners() const noexcept                   { return listeners.size(); }
    bool isInUse() const noexcept                          { return ! listeners.isEmpty(); }
    int getSilenceCountdown() const noexcept               { return silenceCountdown; }
    bool isAudioDeviceOpen() const noexcept                { return audioStream.getAudioIODevice() != nullptr; }

    DeviceSettings& getSettings() noexcept                 { return settings; }
    juce::ValueTree& getSettingsTree() noexcept            { return settingsTree; }
    AudioIODeviceSource& getAudioStream() noexcept         { return audioStream; }
    AudioClipDetector& getClipDetector() noexcept          { return clipDetector; }
    AudioLatencyDetector& getLatencyDetector() noexcept    { return latencyDetector; }
    MidiDevice& getMidi() noexcept                         { return midi; }

private:
    void openAudioDevice();
    void closeAudioDevice();
    void checkLatency();
    void startLatencyMeasurement();
    void applySettingsToStream();

    template <typename Callback>
    void callListeners (Callback&& callback)
    {
        for (int i = listeners.size(); --i >= 0;)
            if (auto* l = listeners[i])
                callback (*l);
    }

    int lastLatency = -1;
    juce::String name;
    juce::Array<Listener*> listeners;
    MidiDevice midi;
    juce::uint8 sysexId = 0;
    juce::uint8 silenceCountdown = 0;
    juce::uint8 silenceTimeout = defaultSilenceTimeout;
    std::unique_ptr<juce::AudioIODeviceType> audioDeviceType;
    AudioLatencyDetector latencyDetector;
    AudioIODeviceSource audioStream;
    AudioClipDetector clipDetector;
    int channel = 1;
    std::atomic<Mode> mode { none };
    int firmwareVersion = 0;
    juce::ValueTree settingsTree;
    DeviceSettings settings;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UsbDevice)
};
