// Feeds arbitrary bytes to the receive side of the pedal protocol, as a pedal (or anything else
// on a MIDI port) could send them. Nothing may read outside the message.

#include "Devices/PedalProtocol.h"
#include "FuzzSupport.h"
#include "PresetFormat.h"

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    silenceJuceLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    PedalProtocol::Frame frame;

    if (! PedalProtocol::parse (data, (int) size, frame))
        return 0;

    for (const juce::uint8 knownId : { 0, 1, 0x7F })
        (void) PedalProtocol::route (frame, knownId);

    (void) PedalProtocol::isForProcessor (frame);

    int version = 0;
    if (PedalProtocol::readVersion (frame, version))
        (void) PedalProtocol::versionToString (version);

    int firstSlot = 0, numRecords = 0;
    if (PedalProtocol::readPresetTableChunk (frame, firstSlot, numRecords))
    {
        for (int i = 0; i < numRecords; ++i)
        {
            PRESET record;
            std::memcpy (record.bytes, frame.payload + i * PRESET::size, PRESET::size);
            (void) PresetFormat (record, {}).toPreset (firstSlot + i);
        }
    }

    PRESET record;
    if (PedalProtocol::readPresetRecalled (frame, record) || PedalProtocol::readLiveState (frame, record))
    {
        (void) PedalProtocol::programForRecord (record);
        (void) PresetFormat (record, {}).toFileText();
    }

    for (int i = 0; i < PedalProtocol::numParameterPairs (frame); ++i)
    {
        const int controller = frame.payload[2 * i] & 0x7F;
        (void) PedalProtocol::receivedValue (frame.payload[2 * i + 1], controller >= 108);
    }

    (void) PedalProtocol::programForProgramChange (frame);
    (void) PedalProtocol::readFootswitchState (frame);
    return 0;
}
