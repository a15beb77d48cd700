#include "SimulatedPedalTestBase.h"

namespace
{
    using P = PedalProtocol;

    /** Stands where the plug-in's MIDI input would: collects what the pedal sends. */
    struct Inbox : juce::MidiInputCallback
    {
        void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& m) override
        {
            const juce::ScopedLock sl (lock);
            messages.push_back (m);
        }

        std::vector<P::Frame> frames()
        {
            const juce::ScopedLock sl (lock);
            copies = messages;
            std::vector<P::Frame> result;
            for (auto& m : copies)
            {
                P::Frame f;
                if (P::parse (m, f))
                    result.push_back (f);
            }
            return result;
        }

        size_t size()   { const juce::ScopedLock sl (lock); return messages.size(); }
        void clear()    { const juce::ScopedLock sl (lock); messages.clear(); }

        juce::CriticalSection lock;
        std::vector<juce::MidiMessage> messages, copies;
    };
}

class SimulatedPedalTest : public SimulatedPedalTestBase
{
protected:
    void SetUp() override
    {
        SimulatedPedalTestBase::SetUp();
        pedal = &addPedal ("TVL-0A0B");
        input = pedals().openInput (pedal->getInputIdentifier(), &inbox);
        output = pedals().openOutput (pedal->getOutputIdentifier());
        input->start();
    }

    void TearDown() override
    {
        input.reset();
        output.reset();
        SimulatedPedalTestBase::TearDown();
    }

    /** Sends as the plug-in does, once the pedal's id and channel are known. */
    void send (int group, int value, std::vector<juce::uint8> payload = {})
    {
        output->sendMessageNow (P::buildMessage (pedal->getOptions().sysexId, P::pluginGroupByte (group, pedal->getOptions().channel),
                                                 (juce::uint8) value, payload.data(), (int) payload.size()));
    }

    void connect()
    {
        output->sendMessageNow (P::buildMessage (0, P::pluginGroupByte (P::systemGroup, 0), P::selectModeAudio));
        ASSERT_TRUE (pumpUntil ([this] { return inbox.size() >= 2; }));
        inbox.clear();
    }

    std::vector<P::Frame> waitFor (size_t count)
    {
        pumpUntil ([this, count] { return inbox.size() >= count; });
        pump (20);
        return inbox.frames();
    }

    SimulatedPedal* pedal = nullptr;
    Inbox inbox;
    std::unique_ptr<MidiInputPort> input;
    std::unique_ptr<MidiOutputPort> output;
};

TEST_F (SimulatedPedalTest, AnswersTheModeSelectionWithItsIdThenItsMode)
{
    output->sendMessageNow (P::buildMessage (0, P::pluginGroupByte (P::systemGroup, 0), P::selectModeControl));
    const auto frames = waitFor (2);

    ASSERT_EQ (frames.size(), 2u);
    EXPECT_EQ (frames[0].getGroup(), P::systemGroup);
    EXPECT_EQ (frames[0].value, P::announceId);
    EXPECT_NE (frames[0].id, 0);
    EXPECT_EQ (frames[1].value, P::modeStatusControl);
    int version = 0;
    ASSERT_TRUE (P::readVersion (frames[1], version));
    EXPECT_EQ (version, pedal->getOptions().firmwareVersion);
    EXPECT_EQ (pedal->getMode(), 2);
}

TEST_F (SimulatedPedalTest, SendsItsTableInChunksEndingAtTheLastSlot)
{
    connect();
    send (P::presetGroup, P::requestPresetTable);
    const auto frames = waitFor (2);

    int covered = 0, last = -1;
    for (auto& f : frames)
    {
        int n = 0, k = 0;
        ASSERT_TRUE (P::readPresetTableChunk (f, n, k));
        EXPECT_LE (k, P::maxRecordsPerChunk);
        EXPECT_EQ (n, covered);
        covered += k;
        last = n + k - 1;
    }
    EXPECT_EQ (last, 9);
}

TEST_F (SimulatedPedalTest, StoresPresetsAndTakesLiveStatesAndParameters)
{
    connect();
    auto record = SimulatedPedal::factoryPreset (0);
    record.bytes[0] = 4;
    record.setName ("Written");
    send (P::presetGroup, 4, std::vector<juce::uint8> (record.bytes, record.bytes + PRESET::size));
    pump (10);
    EXPECT_EQ (pedal->getPreset (4).getName(), "Written");

    send (P::parameterGroup, 0, { 102, 10, 110, 0 });   // sustain 10, bypass footswitch off
    EXPECT_EQ (pedal->getLiveState().bytes[PRESET::susOffset], 10);
    EXPECT_FALSE (pedal->getSoundParameters()->engaged.load());

    send (P::presetGroup, P::requestLiveState);
    const auto frames = waitFor (1);
    PRESET live;
    ASSERT_TRUE (P::readLiveState (frames.back(), live));
    EXPECT_EQ (live.bytes[PRESET::susOffset], 10);

    send (P::systemGroup, P::resetFactoryPresets);
    EXPECT_EQ (pedal->getPreset (4).getName(), SimulatedPedal::factoryPreset (4).getName());
}

TEST_F (SimulatedPedalTest, CalibrationSwitchesToPassThroughAndBack)
{
    connect();
    send (P::systemGroup, P::calibrate, { 1 });
    const auto frames = waitFor (1);

    ASSERT_FALSE (frames.empty());
    EXPECT_EQ (frames.back().value, P::startMeasurement);
    EXPECT_TRUE (pedal->isPassThrough());

    send (P::systemGroup, P::calibrate, { 0 });
    EXPECT_FALSE (pedal->isPassThrough());
}

TEST_F (SimulatedPedalTest, ChecksItsChannelAndReportsReleases)
{
    connect();
    output->sendMessageNow (P::buildMessage (pedal->getOptions().sysexId, P::pluginGroupByte (P::systemGroup, 5), P::keepAlive));
    pump (30);
    EXPECT_EQ (inbox.size(), 0u) << "a message on another channel is not for this pedal";

    send (P::systemGroup, P::keepAlive);
    EXPECT_EQ (waitFor (1).back().value, P::keepAlive);

    inbox.clear();
    send (P::systemGroup, P::releasePedal);
    EXPECT_EQ (waitFor (1).back().value, P::modeStatusNone);
}

TEST_F (SimulatedPedalTest, FaultsAndPersistenceAcrossReplugs)
{
    connect();
    pedal->dropNextMessages (1);
    pedal->duplicateNextMessages (1);
    pedal->turnKnob (85, 11);   // dropped
    pedal->turnKnob (85, 12);   // duplicated
    const auto frames = waitFor (2);
    ASSERT_EQ (frames.size(), 2u);
    EXPECT_EQ (frames[0].payload[1], 12);
    EXPECT_EQ (frames[1].payload[1], 12);

    pedal->unplug();
    EXPECT_TRUE (pedals().getInputs().isEmpty());
    pedal->replug();
    EXPECT_EQ (pedals().getInputs().size(), 1);
    EXPECT_EQ (pedal->getLiveState().bytes[PRESET::volOffset], 12) << "the pedal keeps its state";
}
