#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include "PresetRecord.h"

/** The wire format between the plug-in and the pedal, written once for both ends.

    Every message is one SysEx message: F0 00 02 26 02 00, the pedal's id, a byte holding the
    message group (high nibble) and a channel (low nibble), a value, a payload of 7-bit bytes,
    and F7. The plug-in's side (the pedal object and the processor) and the simulated pedal both
    build and read messages only through this class, so the two ends cannot disagree.

    Nothing here reads past the end of what it is given: every parser checks sizes first and
    refuses (returns false or an empty optional) what is too short.
*/
class PedalProtocol
{
public:
    static constexpr juce::uint8 header[] = { 0x00, 0x02, 0x26, 0x02, 0x00 };
    static constexpr int headerSize = (int) sizeof (header);

    /** F0 + header + id + group/channel + value + F7. */
    static constexpr int frameOverhead = 10;

    enum Group
    {
        presetGroup    = 0,
        systemGroup    = 1,
        parameterGroup = 2,
        programGroup   = 3,
        statusGroup    = 4
    };

    // Values, plug-in to pedal.
    static constexpr juce::uint8 writePresetBase       = 0x00;   ///< preset group, + index, + 0x20 on write-back
    static constexpr juce::uint8 writeBackFlag         = 0x20;
    static constexpr juce::uint8 requestPresetTable    = 0x10;
    static constexpr juce::uint8 setLiveState          = 0x30;
    static constexpr juce::uint8 requestLiveState      = 0x40;
    static constexpr juce::uint8 connectQuery          = 0x60;
    static constexpr juce::uint8 selectModeAudio       = 1;      ///< system group
    static constexpr juce::uint8 selectModeControl     = 2;
    static constexpr juce::uint8 releasePedal          = 5;
    static constexpr juce::uint8 enterBootloader       = 6;
    static constexpr juce::uint8 resetFactoryPresets   = 9;
    static constexpr juce::uint8 resetFactoryFirmware  = 10;
    static constexpr juce::uint8 keepAlive             = 12;
    static constexpr juce::uint8 calibrate             = 13;
    static constexpr juce::uint8 parameterChange       = 0;      ///< parameter group

    // Values, pedal to plug-in.
    static constexpr juce::uint8 presetRecalledBase    = 0x50;   ///< preset group, + slot
    static constexpr juce::uint8 liveState             = 0x7A;
    static constexpr juce::uint8 modeStatusAudio       = 1;      ///< system group
    static constexpr juce::uint8 modeStatusControl     = 2;
    static constexpr juce::uint8 modeStatusNone        = 4;
    static constexpr juce::uint8 announceId            = 11;
    static constexpr juce::uint8 startMeasurement      = 13;
    static constexpr juce::uint8 footswitchState       = 1;      ///< status group

    static constexpr int numPresetSlots = 10;
    static constexpr int liveSlot = 10;           ///< record byte 0 for the live settings
    static constexpr int outsideSlot = 0x7F;      ///< record byte 0 for a program the pedal does not hold
    static constexpr int maxRecordsPerChunk = 9;
    static constexpr int versionNibbles = 6;

    /** Value of a switch on the wire. */
    static constexpr int switchOnValue = 64;

    //==============================================================================
    /** A received message, read in place: payload points into the bytes it was parsed from. */
    struct Frame
    {
        juce::uint8 id = 0;
        juce::uint8 groupAndChannel = 0;
        juce::uint8 value = 0;
        const juce::uint8* payload = nullptr;
        int payloadSize = 0;

        int getGroup() const noexcept     { return groupAndChannel >> 4; }
        int getChannel() const noexcept   { return groupAndChannel & 0x0F; }
    };

    /** Builds a complete message. groupAndChannel is written as it is (see channelNibbleFor). */
    static juce::MidiMessage buildMessage (juce::uint8 id, juce::uint8 groupAndChannel, juce::uint8 value,
                                           const void* payload = nullptr, int length = 0);

    /** Byte 7 of a message the plug-in sends: the group, and the pedal's channel + 1 in the low
        nibble. A pedal reporting channel 15 gets 0 there (the sum wraps inside the nibble) so
        that the group is never corrupted by a carry. */
    static juce::uint8 pluginGroupByte (int group, int pedalChannel) noexcept;

    /** Byte 7 of a message the pedal sends: the group and the pedal's own channel. */
    static juce::uint8 pedalGroupByte (int group, int pedalChannel) noexcept;

    /** Reads a SysEx message given with its F0 and F7. False for anything that is not one of
        ours: not SysEx, a foreign header, or shorter than the fixed part. */
    static bool parse (const juce::uint8* data, int size, Frame& frame) noexcept;
    static bool parse (const juce::MidiMessage& message, Frame& frame) noexcept;

    /** True for a message whose first byte is F0. */
    static bool isSysEx (const juce::uint8* data, int size) noexcept   { return size > 0 && data[0] == 0xF0; }

    //==============================================================================
    /** What the pedal object does with a received SysEx message, given the id it knows. */
    enum class Routing
    {
        drop,        ///< foreign, for another pedal, or carrying id 0
        adoptId,     ///< the pedal announces its id while none is known: take it, then pass it on
        accept       ///< this pedal's message
    };

    static Routing route (const Frame& frame, juce::uint8 knownId) noexcept;

    /** The processor's own acceptance: group below 5 (byte 7 below 0x50). */
    static bool isForProcessor (const Frame& frame) noexcept   { return frame.groupAndChannel < 0x50; }

    //==============================================================================
    /** A ModeStatus 1 or 2 with its six version nibbles; false when the payload is shorter. */
    static bool readVersion (const Frame& frame, int& packedVersion) noexcept;
    static int packVersion (const juce::uint8 nibbles[versionNibbles]) noexcept;
    static void unpackVersion (int packedVersion, juce::uint8 nibbles[versionNibbles]) noexcept;
    static juce::String versionToString (int packedVersion);

    /** A PresetTableChunk: first slot n and record count k with n ≤ 9, k ≤ 9, n + k ≤ 10 and
        at least one record. */
    static bool readPresetTableChunk (const Frame& frame, int& firstSlot, int& numRecords) noexcept;

    /** A PresetRecalled or LiveState record (exactly 25 bytes of payload). */
    static bool readPresetRecalled (const Frame& frame, PRESET& record) noexcept;
    static bool readLiveState (const Frame& frame, PRESET& record) noexcept;

    /** The program a ProgramChange selects: 1…10 for slots 0…9, 0 for the live settings, −1 for
        anything else. */
    static int programForProgramChange (const Frame& frame) noexcept;

    /** The program a recalled record stands for: slot + 1, or 0 for anything above slot 9. */
    static int programForRecord (const PRESET& record) noexcept;

    /** Number of (controller, value) pairs of a ParameterChange; 0 when it carries none. */
    static int numParameterPairs (const Frame& frame) noexcept;

    /** The value a parameter takes from a received pair. */
    static int receivedValue (int wireValue, bool isSwitch) noexcept   { return isSwitch ? (wireValue != 0 ? 1 : 0) : (wireValue & 0x7F); }
    /** The value sent for a parameter value. */
    static int sentValue (int value, bool isSwitch) noexcept           { return isSwitch ? (value != 0 ? switchOnValue : 0) : (value & 0x7F); }

    /** Payload byte 0 of a FootswitchState (value 1, at least one byte); −1 otherwise. */
    static int readFootswitchState (const Frame& frame) noexcept;
};
