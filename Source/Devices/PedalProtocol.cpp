#include "PedalProtocol.h"

juce::MidiMessage PedalProtocol::buildMessage (juce::uint8 id, juce::uint8 groupAndChannel, juce::uint8 value,
                                               const void* payload, int length)
{
    jassert (length >= 0 && (length == 0 || payload != nullptr));
    length = juce::jmax (0, length);

    juce::HeapBlock<juce::uint8> bytes ((size_t) (length + frameOverhead));
    bytes[0] = 0xF0;
    std::copy (std::begin (header), std::end (header), bytes.get() + 1);
    bytes[6] = (juce::uint8) (id & 0x7F);
    bytes[7] = (juce::uint8) (groupAndChannel & 0x7F);
    bytes[8] = (juce::uint8) (value & 0x7F);

    if (length > 0)
        std::memcpy (bytes.get() + 9, payload, (size_t) length);

    bytes[9 + length] = 0xF7;
    return juce::MidiMessage (bytes.get(), length + frameOverhead);
}

juce::uint8 PedalProtocol::pluginGroupByte (int group, int pedalChannel) noexcept
{
    return (juce::uint8) (((group & 0x07) << 4) | ((pedalChannel + 1) & 0x0F));
}

juce::uint8 PedalProtocol::pedalGroupByte (int group, int pedalChannel) noexcept
{
    return (juce::uint8) (((group & 0x07) << 4) | (pedalChannel & 0x0F));
}

bool PedalProtocol::parse (const juce::uint8* data, int size, Frame& frame) noexcept
{
    if (data == nullptr || size < frameOverhead || data[0] != 0xF0 || data[size - 1] != 0xF7)
        return false;

    if (! std::equal (std::begin (header), std::end (header), data + 1))
        return false;

    frame.id = data[6];
    frame.groupAndChannel = data[7];
    frame.value = data[8];
    frame.payloadSize = size - frameOverhead;
    frame.payload = frame.payloadSize > 0 ? data + 9 : nullptr;
    return true;
}

bool PedalProtocol::parse (const juce::MidiMessage& message, Frame& frame) noexcept
{
    return parse (message.getRawData(), message.getRawDataSize(), frame);
}

PedalProtocol::Routing PedalProtocol::route (const Frame& frame, juce::uint8 knownId) noexcept
{
    if (frame.id == 0)
        return Routing::drop;

    if (knownId == 0)
        return (frame.getGroup() == systemGroup && frame.value == announceId) ? Routing::adoptId : Routing::drop;

    return frame.id == knownId ? Routing::accept : Routing::drop;
}

//==============================================================================
int PedalProtocol::packVersion (const juce::uint8 n[versionNibbles]) noexcept
{
    const auto byteOf = [] (int high, int low) { return ((high & 0x0F) << 4) | (low & 0x0F); };
    return (byteOf (n[0], n[1]) << 16) | (byteOf (n[2], n[3]) << 8) | byteOf (n[4], n[5]);
}

void PedalProtocol::unpackVersion (int packedVersion, juce::uint8 n[versionNibbles]) noexcept
{
    for (int i = 0; i < versionNibbles; ++i)
        n[i] = (juce::uint8) ((packedVersion >> (20 - 4 * i)) & 0x0F);
}

juce::String PedalProtocol::versionToString (int v)
{
    return juce::String ((v >> 16) & 0xFF) + "." + juce::String ((v >> 8) & 0xFF) + "." + juce::String (v & 0xFF);
}

bool PedalProtocol::readVersion (const Frame& frame, int& packedVersion) noexcept
{
    if (frame.getGroup() != systemGroup || (frame.value != modeStatusAudio && frame.value != modeStatusControl)
         || frame.payloadSize < versionNibbles)
        return false;

    packedVersion = packVersion (frame.payload);
    return true;
}

bool PedalProtocol::readPresetTableChunk (const Frame& frame, int& firstSlot, int& numRecords) noexcept
{
    if (frame.getGroup() != presetGroup || (frame.value & 0xF0) != 0)
        return false;

    const int n = frame.value & 0x0F;
    const int k = frame.payloadSize / PRESET::size;

    if (n > numPresetSlots - 1 || k < 1 || k > maxRecordsPerChunk || n + k > numPresetSlots)
        return false;

    firstSlot = n;
    numRecords = k;
    return true;
}

static bool readRecord (const PedalProtocol::Frame& frame, PRESET& record) noexcept
{
    if (frame.payloadSize != PRESET::size)
        return false;

    std::memcpy (record.bytes, frame.payload, PRESET::size);
    return true;
}

bool PedalProtocol::readPresetRecalled (const Frame& frame, PRESET& record) noexcept
{
    return frame.getGroup() == presetGroup && (frame.value & 0xF0) == presetRecalledBase && readRecord (frame, record);
}

bool PedalProtocol::readLiveState (const Frame& frame, PRESET& record) noexcept
{
    return frame.getGroup() == presetGroup && frame.value == liveState && readRecord (frame, record);
}

int PedalProtocol::programForProgramChange (const Frame& frame) noexcept
{
    if (frame.getGroup() != programGroup)
        return -1;

    const int v = frame.value & 0x7F;

    if (v < numPresetSlots)
        return v + 1;

    return v == liveSlot ? 0 : -1;
}

int PedalProtocol::programForRecord (const PRESET& record) noexcept
{
    return record.bytes[0] < numPresetSlots ? record.bytes[0] + 1 : 0;
}

int PedalProtocol::numParameterPairs (const Frame& frame) noexcept
{
    return frame.getGroup() == parameterGroup ? frame.payloadSize / 2 : 0;
}

int PedalProtocol::readFootswitchState (const Frame& frame) noexcept
{
    if (frame.getGroup() != statusGroup || frame.value != footswitchState || frame.payloadSize < 1)
        return -1;

    return frame.payload[0];
}
