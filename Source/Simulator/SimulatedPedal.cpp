#include "SimulatedPedal.h"
#include "Platform/Platform.h"

namespace
{
    using P = PedalProtocol;

    float knob (int v)   { return (float) juce::jlimit (0, 127, v) / 127.0f; }
    float gain (int v)   { return (float) juce::jlimit (0, 127, v) / 63.0f; }
}

SimulatedPedal::SimulatedPedal (const juce::String& pedalName, const Options& optionsToUse)
    : juce::Thread ("Simulated MIDI " + pedalName),
      name (pedalName),
      options (optionsToUse),
      sound (std::make_shared<FuzzModel::Parameters>())
{
    jassert (options.sysexId != 0);

    for (int i = 0; i < P::numPresetSlots; ++i)
        presets[i] = factoryPreset (i);

    live = presets[0];
    live.bytes[0] = P::liveSlot;
    live.bytes[24] = 0x02;   // bypass footswitch on: the fuzz is engaged
    applyLiveStateToSound();
    startThread();
}

SimulatedPedal::~SimulatedPedal()
{
    signalThreadShouldExit();
    messageWaiting.signal();
    stopThread (2000);
}

juce::String SimulatedPedal::getInputIdentifier() const    { return Platform::simulatedPrefix + name + ":in"; }
juce::String SimulatedPedal::getOutputIdentifier() const   { return Platform::simulatedPrefix + name + ":out"; }

PRESET SimulatedPedal::factoryPreset (int slot)
{
    static const char* const names[] = { "Thorn", "Bramble", "Briar", "Nettle", "Hawthorn",
                                         "Sloe", "Teasel", "Gorse", "Holly", "Bracken" };
    PRESET r;
    r.bytes[0] = (juce::uint8) slot;
    r.setName (names[juce::jlimit (0, 9, slot)]);
    r.bytes[PRESET::volOffset] = (juce::uint8) (50 + 5 * slot);
    r.bytes[PRESET::tonOffset] = (juce::uint8) (20 + 10 * slot);
    r.bytes[PRESET::susOffset] = (juce::uint8) (127 - 9 * slot);
    r.bytes[PRESET::adcOffset] = 63;
    r.bytes[PRESET::switchesOffset] = (juce::uint8) (slot % 3 == 1 ? 0x10 : 0x00);
    return r;
}

//==============================================================================
void SimulatedPedal::setMidiPresent (bool present)
{
    midiPresent = present;

    if (! present)
    {
        const juce::ScopedLock sl (outgoingLock);
        outgoing.clear();
    }
}

void SimulatedPedal::connectInput (juce::MidiInputCallback* callback)
{
    const juce::ScopedLock sl (callbackLock);
    inputCallback = callback;
    inputStarted = false;
}

void SimulatedPedal::disconnectInput (juce::MidiInputCallback* callback)
{
    const juce::ScopedLock sl (callbackLock);   // waits for a delivery in progress

    if (inputCallback == callback)
    {
        inputCallback = nullptr;
        inputStarted = false;
    }
}

void SimulatedPedal::setInputStarted (juce::MidiInputCallback* callback, bool started)
{
    const juce::ScopedLock sl (callbackLock);

    if (inputCallback == callback)
        inputStarted = started;
}

void SimulatedPedal::run()
{
    while (! threadShouldExit())
    {
        messageWaiting.wait (100);

        for (;;)
        {
            juce::MidiMessage message;

            {
                const juce::ScopedLock sl (outgoingLock);

                if (outgoing.empty())
                    break;

                message = outgoing.front();
                outgoing.pop_front();
            }

            const juce::ScopedLock sl (callbackLock);

            if (midiPresent && inputCallback != nullptr && inputStarted)
                inputCallback->handleIncomingMidiMessage (nullptr, message);
        }
    }
}

void SimulatedPedal::post (const juce::MidiMessage& message)
{
    if (silent || ! midiPresent)
        return;

    if (toDrop > 0)
    {
        --toDrop;
        return;
    }

    {
        const juce::ScopedLock sl (outgoingLock);
        outgoing.push_back (message);

        if (toDuplicate > 0)
        {
            --toDuplicate;
            outgoing.push_back (message);
        }
    }

    messageWaiting.signal();
}

void SimulatedPedal::send (juce::uint8 group, juce::uint8 value, const void* payload, int length, juce::uint8 idToSend)
{
    post (P::buildMessage (idToSend != 0 ? idToSend : options.sysexId, P::pedalGroupByte (group, options.channel),
                           value, payload, length));
}

void SimulatedPedal::sendRaw (const void* data, int size)
{
    post (juce::MidiMessage (data, size));
}

//==============================================================================
void SimulatedPedal::receive (const juce::MidiMessage& message)
{
    if (! midiPresent)
        return;

    const juce::ScopedLock sl (stateLock);
    received.push_back (message);

    P::Frame frame;

    if (silent || ! P::parse (message, frame))
        return;

    const bool selectMode = frame.getGroup() == P::systemGroup
                             && (frame.value == P::selectModeAudio || frame.value == P::selectModeControl);

    // Until it has announced itself the pedal listens to id 0; it always checks its channel
    // (channel + 1 on the wire), except on the mode selection that starts a connection.
    if (frame.id != 0 && frame.id != options.sysexId)
        return;

    if (! selectMode && frame.getChannel() != ((options.channel + 1) & 0x0F))
        return;

    switch (frame.getGroup())
    {
        case P::systemGroup:    handleSystem (frame); break;
        case P::presetGroup:    handlePreset (frame); break;

        case P::parameterGroup:
            for (int i = 0; i + 1 < frame.payloadSize; i += 2)
                applyParameter (frame.payload[i] & 0x7F, frame.payload[i + 1]);
            applyLiveStateToSound();
            break;

        default: break;
    }
}

void SimulatedPedal::sendModeStatus()
{
    const auto value = (juce::uint8) (mode == 1 ? P::modeStatusAudio : (mode == 2 ? P::modeStatusControl : P::modeStatusNone));

    if (mode == 0)
    {
        send (P::systemGroup, value);
        return;
    }

    juce::uint8 nibbles[P::versionNibbles];
    P::unpackVersion (options.firmwareVersion, nibbles);
    send (P::systemGroup, value, nibbles, P::versionNibbles);
}

void SimulatedPedal::handleSystem (const PedalProtocol::Frame& frame)
{
    switch (frame.value)
    {
        case P::selectModeAudio:
        case P::selectModeControl:
            mode = frame.value == P::selectModeAudio ? 1 : 2;
            send (P::systemGroup, P::announceId);
            sendModeStatus();
            break;

        case P::releasePedal:
        case P::enterBootloader:
            mode = 0;
            sendModeStatus();
            break;

        case P::resetFactoryPresets:
            for (int i = 0; i < P::numPresetSlots; ++i)
                presets[i] = factoryPreset (i);
            break;

        case P::resetFactoryFirmware:
            mode = 0;
            break;

        case P::keepAlive:
            if (mode != 0)
                send (P::systemGroup, P::keepAlive);
            break;

        case P::calibrate:
            if (frame.payloadSize >= 1 && frame.payload[0] == 1)
            {
                sound->passThrough = true;
                send (P::systemGroup, P::startMeasurement);
            }
            else
            {
                sound->passThrough = false;
            }
            break;

        default: break;
    }
}

void SimulatedPedal::handlePreset (const PedalProtocol::Frame& frame)
{
    if (frame.value == P::requestPresetTable)
    {
        juce::uint8 chunk[P::maxRecordsPerChunk * PRESET::size];

        for (int i = 0; i < P::maxRecordsPerChunk; ++i)
            std::memcpy (chunk + i * PRESET::size, presets[i].bytes, PRESET::size);

        send (P::presetGroup, 0, chunk, (int) sizeof (chunk));
        send (P::presetGroup, P::numPresetSlots - 1, presets[P::numPresetSlots - 1].bytes, PRESET::size);
    }
    else if (frame.value == P::requestLiveState)
    {
        send (P::presetGroup, P::liveState, live.bytes, PRESET::size);
    }
    else if (frame.value == P::setLiveState && frame.payloadSize == PRESET::size)
    {
        std::memcpy (live.bytes, frame.payload, PRESET::size);
        applyLiveStateToSound();
    }
    else if ((frame.value & ~(P::writeBackFlag | 0x0F)) == 0 && frame.payloadSize == PRESET::size)
    {
        const int slot = frame.payload[0];

        if (slot < P::numPresetSlots)
            std::memcpy (presets[slot].bytes, frame.payload, PRESET::size);
    }
}

void SimulatedPedal::applyParameter (int controller, int value)
{
    auto& b = live.bytes;
    const bool on = value != 0;

    switch (controller)
    {
        case 85:  b[PRESET::volOffset] = (juce::uint8) (value & 0x7F); break;
        case 88:  b[PRESET::tonOffset] = (juce::uint8) (value & 0x7F); break;
        case 102: b[PRESET::susOffset] = (juce::uint8) (value & 0x7F); break;
        case 105: b[PRESET::adcOffset] = (juce::uint8) (value & 0x7F); sound->inputGainRight = gain (value); break;
        case 106: b[PRESET::adcOffset] = (juce::uint8) (value & 0x7F); break;
        case 107: sound->inputGainRight = gain (value); return;
        case 108: b[PRESET::switchesOffset] = (juce::uint8) ((b[PRESET::switchesOffset] & ~0x01) | (on ? 0x01 : 0)); break;
        case 109: b[PRESET::switchesOffset] = (juce::uint8) ((b[PRESET::switchesOffset] & ~0x10) | (on ? 0x10 : 0)); break;
        case 110: b[24] = (juce::uint8) ((b[24] & ~0x02) | (on ? 0x02 : 0)); break;
        default:  return;
    }

    b[24] |= 0x01;   // modified since recalled
}

void SimulatedPedal::applyLiveStateToSound()
{
    const auto& b = live.bytes;
    sound->volume = knob (b[PRESET::volOffset]);
    sound->tone = knob (b[PRESET::tonOffset]);
    sound->sustain = knob (b[PRESET::susOffset]);
    sound->inputGainLeft = gain (b[PRESET::adcOffset]);
    sound->toneBypass = (b[PRESET::switchesOffset] & 0x01) != 0;
    sound->toneLattice = (b[PRESET::switchesOffset] & 0x10) != 0;
    sound->engaged = (b[24] & 0x02) != 0;
}

//==============================================================================
void SimulatedPedal::turnKnob (int controller, int value)
{
    const juce::ScopedLock sl (stateLock);
    applyParameter (controller, value);
    applyLiveStateToSound();

    const juce::uint8 pair[] = { (juce::uint8) controller, (juce::uint8) (value & 0x7F) };
    send (P::parameterGroup, 0, pair, 2);
}

void SimulatedPedal::recallPreset (int slot)
{
    const juce::ScopedLock sl (stateLock);
    slot = juce::jlimit (0, P::numPresetSlots - 1, slot);
    const auto bypass = live.bytes[24] & 0x02;
    live = presets[slot];
    live.bytes[24] = (juce::uint8) bypass;
    applyLiveStateToSound();
    send (P::presetGroup, (juce::uint8) (P::presetRecalledBase + slot), live.bytes, PRESET::size);
}

void SimulatedPedal::changeProgram (int value)
{
    send (P::programGroup, (juce::uint8) (value & 0x7F));
}

void SimulatedPedal::setFootswitches (int bits)
{
    const juce::uint8 payload[] = { (juce::uint8) (bits & 0x03) };
    send (P::statusGroup, P::footswitchState, payload, 1);
}

//==============================================================================
std::vector<juce::MidiMessage> SimulatedPedal::getReceivedMessages() const
{
    const juce::ScopedLock sl (stateLock);
    return received;
}

void SimulatedPedal::clearReceivedMessages()
{
    const juce::ScopedLock sl (stateLock);
    received.clear();
}

int SimulatedPedal::countReceived (int group, int value) const
{
    const juce::ScopedLock sl (stateLock);
    int count = 0;

    for (auto& m : received)
    {
        P::Frame f;

        if (P::parse (m, f) && f.getGroup() == group && f.value == value)
            ++count;
    }

    return count;
}

PRESET SimulatedPedal::getPreset (int slot) const
{
    const juce::ScopedLock sl (stateLock);
    return presets[juce::jlimit (0, P::numPresetSlots - 1, slot)];
}

PRESET SimulatedPedal::getLiveState() const
{
    const juce::ScopedLock sl (stateLock);
    return live;
}
