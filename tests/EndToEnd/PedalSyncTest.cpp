#include "SimulatedPedalTestBase.h"
#include "PluginProcessor.h"

namespace
{
    using P = PedalProtocol;

    juce::MidiMessage presetRecalled (const SimulatedPedal& pedal, PRESET record)
    {
        return P::buildMessage (pedal.getOptions().sysexId, P::pedalGroupByte (P::presetGroup, pedal.getOptions().channel),
                                (juce::uint8) (P::presetRecalledBase + (record.bytes[0] & 0x0F)), record.bytes, PRESET::size);
    }
}

/** A plug-in instance and a simulated pedal "TVL-5EED" that the instance takes in control mode. */
class PedalSyncTest : public SimulatedPedalTestBase
{
protected:
    using Parameter = AudioValueTreeState::Parameter;

    void SetUp() override
    {
        SimulatedPedalTestBase::SetUp();
        SimulatedPedal::Options options;
        options.channel = 2;
        pedal = &addPedal ("TVL-5EED", options);
        processor = makeInstance();
    }

    void TearDown() override
    {
        processor.reset();
        other.reset();
        SimulatedPedalTestBase::TearDown();
    }

    std::unique_ptr<ThornvaleAudioProcessor> makeInstance()
    {
        auto p = std::make_unique<ThornvaleAudioProcessor>();
        p->getDeviceManager().scanForDevices();
        return p;
    }

    /** Takes the pedal and waits until it answered and the preset table arrived. */
    void connect (ThornvaleAudioProcessor& instance, UsbDevice::Mode mode = UsbDevice::control)
    {
        instance.setUsbDevice ("TVL-5EED", mode);
        ASSERT_NE (instance.getDevice(), nullptr);
        ASSERT_TRUE (pumpUntil ([&] { return instance.getDevice() != nullptr && instance.getDevice()->getMode() == mode
                                              && instance.getProgramName (1) == "Thorn"; }));
        pump (60);
        pedal->clearReceivedMessages();
    }

    /** What the pedal sends reaches the processor (MIDI thread, then the 50 ms drain). */
    void settle()   { pump (120); }

    Parameter& param (const char* id)   { return *processor->getParameterState().getParameter (id); }

    SimulatedPedal* pedal = nullptr;
    std::unique_ptr<ThornvaleAudioProcessor> processor, other;
};

TEST_F (PedalSyncTest, EditorChangesAreSentOncePedalChangesAreNotEchoed)
{
    connect (*processor);

    param ("vol").set (100, GestureTracker::sourceEditor);
    const auto sent = pedal->getReceivedMessages();
    ASSERT_EQ (sent.size(), 1u);
    EXPECT_EQ (bytesOf (sent[0]), (std::vector<juce::uint8> { 0xF0, 0x00, 0x02, 0x26, 0x02, 0x00, 0x21, 0x23, 0x00, 85, 100, 0xF7 }));

    param ("tonBypass").set (1, GestureTracker::sourceEditor);
    EXPECT_EQ (pedal->getReceivedMessages().back().getRawData()[10], 64) << "a switch goes out as 64";

    pedal->clearReceivedMessages();
    pedal->turnKnob (88, 30);
    settle();

    EXPECT_EQ (param ("ton").get(), 30);
    EXPECT_TRUE (processor->isModified());
    EXPECT_EQ (pedal->countReceived (P::parameterGroup, 0), 0) << "nothing is sent back";
    EXPECT_NE (processor->getParameterState().getTracker().findState (&param ("ton"))->idle, true) << "a host gesture is open";
    ASSERT_TRUE (pumpUntil ([this] { return processor->getParameterState().getTracker().findState (&param ("ton"))->idle; }, 1000));
}

TEST_F (PedalSyncTest, LinkedInputGainsTravelUnderTheSharedNumber)
{
    connect (*processor);

    param ("adcL").set (80, GestureTracker::sourceEditor);
    EXPECT_EQ (pedal->getReceivedMessages().back().getRawData()[9], 105);
    EXPECT_EQ (param ("adcR").get(), 80);

    pedal->turnKnob (105, 20);
    settle();
    EXPECT_EQ (param ("adcL").get(), 20);
    EXPECT_EQ (param ("adcR").get(), 20);
}

TEST_F (PedalSyncTest, MessagesOnAnotherChannelOrFromAnotherPedalChangeNothing)
{
    connect (*processor);
    const juce::uint8 pair[] = { 85, 5 };

    auto otherChannel = P::buildMessage (0x21, P::pedalGroupByte (P::parameterGroup, 7), 0, pair, 2);
    auto otherPedal = P::buildMessage (0x22, P::pedalGroupByte (P::parameterGroup, 2), 0, pair, 2);
    pedal->sendRaw (otherChannel.getRawData(), otherChannel.getRawDataSize());
    pedal->sendRaw (otherPedal.getRawData(), otherPedal.getRawDataSize());
    settle();

    EXPECT_EQ (param ("vol").get(), 63);
}

struct RecallCase
{
    int slotByte, flags;
    int expectedProgram;
    bool expectModified, expectBypass;
    const char* expectedName;
};

class PresetRecallTest : public PedalSyncTest, public ::testing::WithParamInterface<RecallCase> {};

TEST_P (PresetRecallTest, ARecallOnThePedalLoadsThatProgramWithoutAnEcho)
{
    connect (*processor);
    const auto c = GetParam();
    auto record = SimulatedPedal::factoryPreset (3);
    record.bytes[0] = (juce::uint8) c.slotByte;
    record.bytes[24] = (juce::uint8) c.flags;
    record.bytes[PRESET::volOffset] = 21;

    const auto m = presetRecalled (*pedal, record);
    pedal->sendRaw (m.getRawData(), m.getRawDataSize());
    settle();

    EXPECT_EQ (processor->getCurrentProgram(), c.expectedProgram);
    EXPECT_EQ (processor->isModified(), c.expectModified);
    EXPECT_EQ (param ("bypass").get(), c.expectBypass ? 1 : 0);
    EXPECT_EQ (processor->getPresetName(), c.expectedName);
    EXPECT_EQ (param ("vol").get(), 21);
    EXPECT_TRUE (pedal->getReceivedMessages().empty()) << "the pedal is not sent its own state back";
}

INSTANTIATE_TEST_SUITE_P (Records, PresetRecallTest, ::testing::Values (
    RecallCase { 3, 0x03, 4, true, true, "Nettle" },
    RecallCase { 3, 0x00, 4, false, false, "Nettle" },
    RecallCase { 10, 0x02, 0, false, true, "Default" }),
    [] (const auto& info) { return "Slot" + std::to_string (info.param.slotByte) + "Flags" + std::to_string (info.param.flags); });

TEST_F (PedalSyncTest, ProgramChangesAndTheTableFromThePedal)
{
    connect (*processor);
    EXPECT_EQ (processor->getProgramName (10), "Bracken") << "the pedal's table names programs 1 to 10";

    const std::pair<int, int> changes[] = { { 4, 5 }, { 10, 0 }, { 11, 0 }, { 9, 10 } };

    for (auto [value, program] : changes)
    {
        pedal->changeProgram (value);
        settle();
        EXPECT_EQ (processor->getCurrentProgram(), program) << "ProgramChange " << value;
    }

    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::setLiveState), 0) << "loads caused by the pedal are not echoed";
}

TEST_F (PedalSyncTest, ThePresetFootswitchTogglesBetweenProgramZeroAndTheLastProgram)
{
    connect (*processor);
    processor->setProgram (12);
    processor->setProgram (0);

    param ("preset").set (1, GestureTracker::sourceEditor);
    EXPECT_EQ (processor->getCurrentProgram(), 12);

    param ("preset").set (0, GestureTracker::sourceEditor);
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_EQ (pedal->countReceived (P::parameterGroup, 0), 0) << "the footswitch parameter is never sent";
}

TEST_F (PedalSyncTest, FreshInstancesAskForTheLiveStateRestoredOnesSendTheirs)
{
    processor->setUsbDevice ("TVL-5EED", UsbDevice::control);
    ASSERT_TRUE (pumpUntil ([this] { return pedal->countReceived (P::presetGroup, P::requestLiveState) == 1; }));
    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::requestPresetTable), 1);
    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::connectQuery), 1);
    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::setLiveState), 0);
    processor.reset();

    // A restored instance (its own blob, after the 300 ms window) sends its state instead.
    processor = makeInstance();
    juce::MemoryBlock blob;
    processor->getStateInformation (blob);
    processor->getStateArbiterForTesting().timerCallback();
    processor->setStateInformation (blob.getData(), (int) blob.getSize());
    ASSERT_FALSE (processor->isFreshInstance());

    pedal->clearReceivedMessages();
    processor->setUsbDevice ("TVL-5EED", UsbDevice::control);
    ASSERT_TRUE (pumpUntil ([this] { return pedal->countReceived (P::presetGroup, P::setLiveState) == 1; }));
    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::requestLiveState), 0);
    EXPECT_EQ (pedal->getLiveState().bytes[0], P::liveSlot) << "program 0 goes out as the live slot";
}

TEST_F (PedalSyncTest, TheLiveStateBecomesProgramZeroUntilTheInstanceLeavesIt)
{
    pedal->turnKnob (85, 111);   // the pedal's live volume, before anyone connects
    connect (*processor);
    settle();
    EXPECT_EQ (param ("vol").get(), 63) << "adopted into program 0, not applied";

    processor->setProgram (0);
    EXPECT_EQ (param ("vol").get(), 111);

    // Leaving program 0 captures the instance's own values into it.
    param ("vol").set (40, GestureTracker::sourceEditor);
    processor->setProgram (12);
    processor->setProgram (0);
    EXPECT_EQ (param ("vol").get(), 40);
}

TEST_F (PedalSyncTest, RestoringOrRecallingSendsOneLiveStateAndNoSingleChanges)
{
    connect (*processor);
    param ("sus").set (5, GestureTracker::sourceEditor);
    processor->saveSlotAction (0);
    param ("sus").set (90, GestureTracker::sourceEditor);
    pedal->clearReceivedMessages();

    processor->recallSlotAction (0);
    EXPECT_EQ (pedal->countReceived (P::parameterGroup, 0), 0);
    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::setLiveState), 1);
    EXPECT_EQ (pedal->getLiveState().bytes[PRESET::susOffset], 5);

    juce::MemoryBlock blob;
    processor->getStateInformation (blob);
    pedal->clearReceivedMessages();
    processor->setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (pedal->countReceived (P::parameterGroup, 0), 0);
    EXPECT_EQ (pedal->countReceived (P::presetGroup, P::setLiveState), 1);
}

TEST_F (PedalSyncTest, WritingPresetsIntoThePedal)
{
    connect (*processor);

    for (const bool writeBack : { false, true })
    {
        SCOPED_TRACE (writeBack ? "write-back" : "send");
        processor->setProgram (6);
        param ("vol").set (1, GestureTracker::sourceEditor);   // differs from the slot's content
        pedal->clearReceivedMessages();

        auto a = SimulatedPedal::factoryPreset (0);
        auto b = SimulatedPedal::factoryPreset (0);
        a.bytes[0] = 2;
        b.bytes[0] = 5;
        b.bytes[PRESET::volOffset] = 99;
        auto skipped = b;
        skipped.bytes[0] = 12;

        EXPECT_EQ (processor->sendHardwarePresetsToDevice ({ a, b, skipped }, writeBack), 2);

        const auto sent = pedal->getReceivedMessages();
        ASSERT_GE (sent.size(), 3u);
        EXPECT_EQ (sent[0].getRawData()[8], writeBack ? 0x20 : 0x00);
        EXPECT_EQ (sent[1].getRawData()[8], writeBack ? 0x21 : 0x01);
        EXPECT_EQ (sent[2].getRawData()[8], P::requestPresetTable);
        EXPECT_EQ (pedal->getPreset (5).bytes[PRESET::volOffset], 99);
        EXPECT_EQ (param ("vol").get(), writeBack ? 1 : 99) << "only a plain send reloads the program";
    }
}

TEST_F (PedalSyncTest, APedalServesOneInstanceAtATime)
{
    connect (*processor);
    other = makeInstance();
    other->setUsbDevice ("TVL-5EED", UsbDevice::control);

    EXPECT_EQ (other->getDevice(), nullptr);
    EXPECT_EQ (processor->getDevice()->getNumListeners(), 1);

    processor.reset();   // giving it up frees it for the other one
    other->setUsbDevice ("TVL-5EED", UsbDevice::control);
    EXPECT_NE (other->getDevice(), nullptr);
}

TEST_F (PedalSyncTest, UnpluggingGivesThePedalUpAndTheNamedPedalIsTakenBack)
{
    // A restored state names the pedal: it is taken, and taken again after a replug.
    juce::MemoryBlock blob;
    connect (*processor);
    processor->getStateInformation (blob);
    processor = makeInstance();
    processor->getStateArbiterForTesting().timerCallback();
    processor->setStateInformation (blob.getData(), (int) blob.getSize());
    EXPECT_EQ (processor->getPendingDeviceName(), "TVL-5EED");
    processor->timerCallback (ThornvaleAudioProcessor::takePendingDeviceTimer);
    ASSERT_NE (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getDevice()->getName(), "TVL-5EED");

    pedal->setFootswitches (1);
    ASSERT_TRUE (pumpUntil ([this] { return processor->getFootswitchState() == 1; }));

    pedal->unplug();
    processor->getDeviceManager().scanForDevices();
    EXPECT_EQ (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getFootswitchState(), 0);

    pedal->replug();
    processor->getDeviceManager().scanForDevices();
    ASSERT_NE (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getDevice()->getName(), "TVL-5EED");
}

TEST_F (PedalSyncTest, ASilentPedalIsGivenUp)
{
    connect (*processor);
    auto* device = processor->getDevice();
    pedal->setSilent (true);

    for (int tick = 0; tick < UsbDevice::defaultSilenceTimeout; ++tick)
        device->timerCallback (UsbDevice::keepAliveTimer);

    EXPECT_EQ (processor->getDevice(), nullptr);
    EXPECT_FALSE (device->isInUse());
}

TEST_F (PedalSyncTest, LeavingProgramZeroRightAfterTheLiveStateKeepsTheInstancesOwnValues)
{
    pedal->turnKnob (85, 111);
    connect (*processor);
    settle();

    processor->setProgram (12);
    processor->setProgram (0);
    EXPECT_EQ (param ("vol").get(), 63) << "program 0 captured what the instance showed, not the pedal's";
}
