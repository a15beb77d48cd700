#include "UsbDevice.h"
#include "PedalProtocol.h"
#include "Utilities/AudioValueTreeState.h"

namespace
{
    using P = PedalProtocol;
}

UsbDevice::UsbDevice (const juce::String& deviceName, const juce::MidiDeviceInfo& inputPort,
                      const juce::MidiDeviceInfo& outputPort, MidiPorts& platform)
    : name (deviceName),
      midi (inputPort, outputPort, platform),
      audioDeviceType (platform.createAudioDeviceType()),
      settingsTree (ID::DEVICE),
      settings (settingsTree)
{
    midi.addListener (this);
    settings.addListener (this);
    audioStream.setDeviceHook (&latencyDetector);
    applySettingsToStream();
}

UsbDevice::~UsbDevice()
{
    jassert (listeners.isEmpty());
    stopTimer (keepAliveTimer);
    settings.removeListener (this);
    midi.removeListener (this);
    midi.close();
    closeAudioDevice();
    audioStream.setDeviceHook (nullptr);
}

juce::String UsbDevice::extractDeviceName (const juce::String& portName)
{
    const int start = portName.indexOfWholeWord ("TVL");

    if (start < 0)
        return {};

    const auto candidate = portName.substring (start, start + 8);

    if (candidate.length() != 8 || candidate[3] != '-' || ! candidate.substring (4).containsOnly ("0123456789ABCDEF"))
        return {};

    return candidate;
}

//==============================================================================
void UsbDevice::attach (Listener* listener, Mode requestedMode)
{
    jassert (listeners.isEmpty() || listeners.contains (listener));
    listeners.addIfNotAlreadyThere (listener);
    lastLatency = -1;

    if (requestedMode != control && requestedMode != audio)
    {
        mode = none;
        return;
    }

    if (requestedMode == control)
        closeAudioDevice();

    channel = 0;
    sysexId = 0;
    silenceCountdown = silenceTimeout;
    midi.open();
    sendSysExMessage (P::systemGroup, requestedMode == control ? P::selectModeControl : P::selectModeAudio);
    startTimer (keepAliveTimer, keepAliveIntervalMs);
}

void UsbDevice::detach (Listener* listener)
{
    listeners.removeAllInstancesOf (listener);
}

void UsbDevice::release()
{
    if (mode != none)
        sendSysExMessage (P::systemGroup, P::releasePedal);

    midi.close();
    closeAudioDevice();
    mode = none;
    sysexId = 0;
    silenceCountdown = 0;
    stopTimer (keepAliveTimer);
}

void UsbDevice::sendSysExMessage (unsigned char group, unsigned char value, const void* payload, int length)
{
    midi.sendMessageNow (P::buildMessage (sysexId, P::pluginGroupByte (group, channel), value, payload, length));
}

//==============================================================================
void UsbDevice::incomingMidiMessage (MidiDevice*, const juce::MidiMessage& message)
{
    P::Frame frame;
    const auto* data = message.getRawData();
    const int size = message.getRawDataSize();

    if (P::isSysEx (data, size))
    {
        if (! P::parse (data, size, frame))
            return;   // foreign, or shorter than a message of ours

        switch (P::route (frame, sysexId))
        {
            case P::Routing::drop:
                return;

            case P::Routing::adoptId:
                sysexId = frame.id;
                silenceCountdown = silenceTimeout;
                break;

            case P::Routing::accept:
                break;
        }

        if (silenceCountdown != 0)
            silenceCountdown = silenceTimeout;

        if (frame.getGroup() == P::systemGroup)
        {
            int version = 0;

            switch (frame.value)
            {
                case P::modeStatusAudio:
                case P::modeStatusControl:
                    if (! P::readVersion (frame, version))
                        return;   // a mode report without its version is not one

                    mode = frame.value == P::modeStatusAudio ? audio : control;
                    channel = frame.getChannel();
                    firmwareVersion = version;

                    if (mode.load() == audio)
                        openAudioDevice();
                    else
                        closeAudioDevice();

                    callListeners ([this] (Listener& l) { l.deviceConnected (this); });
                    callListeners ([this] (Listener& l) { l.deviceStatusChanged (this); });
                    break;

                case P::modeStatusNone:
                    mode = none;
                    closeAudioDevice();
                    callListeners ([this] (Listener& l) { l.deviceStatusChanged (this); });
                    break;

                case P::startMeasurement:
                    startLatencyMeasurement();
                    break;

                default:
                    break;
            }
        }
    }

    callListeners ([this, &message] (Listener& l) { l.incomingMidiMessage (this, message); });
}

void UsbDevice::timerCallback (int timerId)
{
    if (timerId != keepAliveTimer)
        return;

    if (mode != none && sysexId != 0)
        sendSysExMessage (P::systemGroup, P::keepAlive);

    if (silenceCountdown != 0 && --silenceCountdown == 0)
    {
        mode = none;
        callListeners ([this] (Listener& l) { l.deviceStatusChanged (this); });
    }
}

//==============================================================================
void UsbDevice::openAudioDevice()
{
    if (isAudioDeviceOpen() || audioDeviceType == nullptr)
        return;

    audioDeviceType->scanForDevices();

    if (! audioDeviceType->getDeviceNames (false).contains (name))
        return;

    if (audioStream.setAudioIODevice (audioDeviceType->createDevice (name, name)))
    {
        notifyLatencyChanged (-1);
        checkLatency();
    }
}

void UsbDevice::closeAudioDevice()
{
    if (isAudioDeviceOpen())
        audioStream.setAudioIODevice (nullptr);
}

void UsbDevice::startLatencyMeasurement()
{
    // The measurement needs a stream the host has prepared.
    const int length = audioStream.getActiveSetup().getEffectiveDeviceBlockSize();

    if (length == 0)
        return;

    latencyDetector.arm (length, [this] (int latency)
    {
        const juce::uint8 stop[] = { 0 };
        sendSysExMessage (PedalProtocol::systemGroup, PedalProtocol::calibrate, stop, 1);
        settings.extraLatency.setValue (latency, nullptr);
    });
}

void UsbDevice::checkLatency()
{
    const auto& setup = audioStream.getActiveSetup();

    if (setup.sampleRate == 0.0 || setup.hostBlockSize == 0)
        return;

    const int latency = audioStream.getTotalLatency();

    if (latency > 0 && latency != lastLatency)
        notifyLatencyChanged (latency);
}

void UsbDevice::notifyLatencyChanged (int latencySamples)
{
    if (latencySamples < 0)
        latencySamples = audioStream.getTotalLatency();

    lastLatency = latencySamples;
    callListeners ([latencySamples] (Listener& l) { l.deviceLatencyChanged (latencySamples); });
}

void UsbDevice::applySettingsToStream()
{
    AudioIODeviceSource::PedalSettings values;
    values.blockSize = settings.blockSize;
    values.outAdjust = settings.outAdjust;
    values.inAdjust = settings.inAdjust;
    values.extraLatency = settings.extraLatency;
    audioStream.setPedalSettings (values);
}

void UsbDevice::settingsChanged()
{
    applySettingsToStream();
    audioStream.updateAudioParameters (isAudioDeviceOpen());
    checkLatency();
}

//==============================================================================
void UsbDevice::prepareToPlay (int samplesPerBlockExpected, double sampleRate)
{
    audioStream.prepareToPlay (samplesPerBlockExpected, sampleRate);
    checkLatency();
}

void UsbDevice::releaseResources()
{
    audioStream.releaseResources();
}

// Host audio thread.
void UsbDevice::getNextAudioBlock (const juce::AudioSourceChannelInfo& info)
{
    audioStream.getNextAudioBlock (info);

    if (info.buffer != nullptr && info.buffer->getNumChannels() >= 2)
    {
        const juce::AudioBuffer<float> view (info.buffer->getArrayOfWritePointers(), 2, info.startSample, info.numSamples);
        clipDetector.feed (view);
    }
}
