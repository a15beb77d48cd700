#include <gtest/gtest.h>
#include "Devices/PedalProtocol.h"

namespace
{
    using P = PedalProtocol;
    using Bytes = std::vector<juce::uint8>;

    Bytes bytesOf (const juce::MidiMessage& m)
    {
        return Bytes (m.getRawData(), m.getRawData() + m.getRawDataSize());
    }

    Bytes frame (juce::uint8 id, juce::uint8 groupByte, juce::uint8 value, Bytes payload = {})
    {
        return bytesOf (P::buildMessage (id, groupByte, value, payload.data(), (int) payload.size()));
    }

    bool parse (const Bytes& b, P::Frame& f)   { return P::parse (b.data(), (int) b.size(), f); }
}

TEST (PedalProtocol, FramesAreByteExact)
{
    // Taking a pedal: id and channel unknown, so the first message carries id 0 and nibble 1.
    EXPECT_EQ (frame (0, P::pluginGroupByte (P::systemGroup, 0), P::selectModeAudio),
               (Bytes { 0xF0, 0x00, 0x02, 0x26, 0x02, 0x00, 0x00, 0x11, 0x01, 0xF7 }));
    EXPECT_EQ (frame (0, P::pluginGroupByte (P::systemGroup, 0), P::selectModeControl),
               (Bytes { 0xF0, 0x00, 0x02, 0x26, 0x02, 0x00, 0x00, 0x11, 0x02, 0xF7 }));

    // "vol" = 100 with id 5 and channel 3 learnt.
    const Bytes pair { 85, (juce::uint8) P::sentValue (100, false) };
    EXPECT_EQ (frame (5, P::pluginGroupByte (P::parameterGroup, 3), P::parameterChange, pair),
               (Bytes { 0xF0, 0x00, 0x02, 0x26, 0x02, 0x00, 0x05, 0x24, 0x00, 0x55, 0x64, 0xF7 }));
}

TEST (PedalProtocol, ChannelFifteenNeverCorruptsTheGroup)
{
    EXPECT_EQ (P::pluginGroupByte (P::parameterGroup, 14), 0x2F);
    EXPECT_EQ (P::pluginGroupByte (P::parameterGroup, 15), 0x20);
    EXPECT_EQ (P::pluginGroupByte (P::systemGroup, 15) >> 4, P::systemGroup);
    EXPECT_EQ (P::pedalGroupByte (P::parameterGroup, 15), 0x2F);
}

TEST (PedalProtocol, SwitchAndKnobValuesOnTheWire)
{
    EXPECT_EQ (P::sentValue (1, true), 64);
    EXPECT_EQ (P::sentValue (0, true), 0);
    EXPECT_EQ (P::sentValue (200, false), 200 & 0x7F);
    EXPECT_EQ (P::receivedValue (1, true), 1);
    EXPECT_EQ (P::receivedValue (0, true), 0);
    EXPECT_EQ (P::receivedValue (0xC5, false), 0x45);
}

TEST (PedalProtocol, FirmwareVersionFromSixNibbles)
{
    struct Case { Bytes nibbles; int major, minor, patch; const char* text; };
    const Case cases[] = {
        { { 0, 1, 0, 2, 0, 3 }, 1, 2, 3, "1.2.3" },
        { { 1, 0, 0, 2, 0, 3 }, 16, 2, 3, "16.2.3" },
        { { 15, 15, 15, 15, 15, 15 }, 255, 255, 255, "255.255.255" } };

    for (auto& c : cases)
    {
        const auto b = frame (7, P::pedalGroupByte (P::systemGroup, 2), P::modeStatusAudio, c.nibbles);
        P::Frame f;
        ASSERT_TRUE (parse (b, f));
        int v = 0;
        ASSERT_TRUE (P::readVersion (f, v));
        EXPECT_EQ (v >> 16, c.major);
        EXPECT_EQ ((v >> 8) & 0xFF, c.minor);
        EXPECT_EQ (v & 0xFF, c.patch);
        EXPECT_EQ (P::versionToString (v), c.text);

        juce::uint8 back[6];
        P::unpackVersion (v, back);
        EXPECT_EQ (Bytes (back, back + 6), c.nibbles);
    }
}

TEST (PedalProtocol, RoutingByIdLikeThePedalObject)
{
    struct Case { juce::uint8 id, groupByte, value, knownId; P::Routing expected; };
    const Case cases[] = {
        { 9, 0x12, P::announceId,   0, P::Routing::adoptId },   // the first announcement
        { 0, 0x12, P::announceId,   0, P::Routing::drop },      // id 0 is never anybody's
        { 9, 0x12, P::modeStatusAudio, 0, P::Routing::drop },   // nothing else before the id
        { 9, 0x22, 0,               9, P::Routing::accept },
        { 8, 0x22, 0,               9, P::Routing::drop },      // another pedal
        { 8, 0x12, P::announceId,   9, P::Routing::drop },      // a second announcement is ignored
        { 0, 0x22, 0,               9, P::Routing::drop } };

    for (auto& c : cases)
    {
        P::Frame f;
        ASSERT_TRUE (parse (frame (c.id, c.groupByte, c.value), f));
        EXPECT_EQ (P::route (f, c.knownId), c.expected) << "id " << (int) c.id << " known " << (int) c.knownId;
    }
}

TEST (PedalProtocol, MalformedMessagesAreRefusedWithoutReadingPastTheirEnd)
{
    const Bytes shortest { 0xF0, 0x00, 0x02, 0x26, 0x02, 0x00, 0x01, 0x12, 0x01, 0xF7 };
    P::Frame f;

    // Every prefix of a valid message is refused (no F7, or too short). The copies are exactly
    // as long as the prefix, so an over-read shows under AddressSanitizer.
    for (size_t n = 0; n < shortest.size(); ++n)
    {
        const auto prefix = std::make_unique<juce::uint8[]> (n + 1);
        std::copy (shortest.begin(), shortest.begin() + (long) n, prefix.get());
        EXPECT_FALSE (P::parse (prefix.get(), (int) n, f)) << n << " bytes";
    }

    EXPECT_TRUE (parse (shortest, f));
    EXPECT_EQ (f.payloadSize, 0);
    EXPECT_EQ (f.payload, nullptr);

    Bytes foreign = shortest;
    foreign[3] = 0x27;
    EXPECT_FALSE (parse (foreign, f));
    EXPECT_FALSE (parse ({ 0x90, 0x40, 0x7F }, f)) << "not SysEx";

    // A mode report with fewer than six version nibbles is refused.
    int version = 0;
    ASSERT_TRUE (parse (frame (1, 0x12, P::modeStatusAudio, { 0, 1, 0, 2, 0 }), f));
    EXPECT_FALSE (P::readVersion (f, version));

    PRESET record;
    ASSERT_TRUE (parse (frame (1, 0x00, P::liveState, Bytes (24)), f));
    EXPECT_FALSE (P::readLiveState (f, record)) << "a record is exactly 25 bytes";
    ASSERT_TRUE (parse (frame (1, 0x00, P::presetRecalledBase + 3, Bytes (26)), f));
    EXPECT_FALSE (P::readPresetRecalled (f, record));
    ASSERT_TRUE (parse (frame (1, 0x40, P::footswitchState), f));
    EXPECT_EQ (P::readFootswitchState (f), -1);
}

TEST (PedalProtocol, PresetTableChunkLimits)
{
    struct Case { int value, records; bool accepted; };
    const Case cases[] = {
        { 0, 9, true }, { 9, 1, true }, { 3, 4, true },
        { 0, 10, false },      // more than nine records in one chunk
        { 2, 9, false },       // runs past slot 9
        { 10, 1, false },      // starts above slot 9
        { 0, 0, false },
        { 0x10, 1, false } };  // not a chunk (a table request's value)

    for (auto& c : cases)
    {
        P::Frame f;
        ASSERT_TRUE (parse (frame (1, 0x00, (juce::uint8) c.value, Bytes ((size_t) c.records * 25 + 3)), f));
        int n = -1, k = -1;
        EXPECT_EQ (P::readPresetTableChunk (f, n, k), c.accepted) << c.value << "/" << c.records;

        if (c.accepted)
        {
            EXPECT_EQ (n, c.value);
            EXPECT_EQ (k, c.records) << "a remainder below one record is ignored";
        }
    }
}

TEST (PedalProtocol, ProgramNumbersFromThePedal)
{
    P::Frame f;
    const std::pair<int, int> changes[] = { { 0, 1 }, { 9, 10 }, { 10, 0 }, { 11, -1 }, { 0x7F, -1 } };

    for (auto [value, program] : changes)
    {
        ASSERT_TRUE (parse (frame (1, 0x30, (juce::uint8) value), f));
        EXPECT_EQ (P::programForProgramChange (f), program) << value;
    }

    PRESET record;
    record.bytes[0] = 4;
    EXPECT_EQ (P::programForRecord (record), 5);
    record.bytes[0] = 10;
    EXPECT_EQ (P::programForRecord (record), 0);
}
