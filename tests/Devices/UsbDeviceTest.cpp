#include "SimulatedPedalTestBase.h"
#include "Devices/UsbDevice.h"

namespace
{
    using P = PedalProtocol;

    struct Recorder : UsbDevice::Listener
    {
        void deviceStatusChanged (UsbDevice*) override      { events += 's'; }
        void deviceConnected (UsbDevice*) override          { events += 'c'; }
        void incomingMidiMessage (UsbDevice*, const juce::MidiMessage&) override   { ++messages; }
        void deviceLatencyChanged (int latency) override    { latencies.push_back (latency); }

        std::string events;
        int messages = 0;
        std::vector<int> latencies;
    };
}

TEST (UsbDeviceNames, PedalNameInPortNames)
{
    const std::pair<const char*, const char*> cases[] = {
        { "TVL-00FF", "TVL-00FF" }, { "TVL-1A2B MIDI 1", "TVL-1A2B" }, { "Thornvale TVL-C0DE Audio", "TVL-C0DE" },
        { "TVL-00FG", "" }, { "TVL-00F", "" }, { "xTVL-00FF", "" }, { "TVL-1a2b", "" }, { "TVL1A2B", "" },
        { "TVLX-1A2B", "" }, { "", "" } };

    for (auto [port, name] : cases)
        EXPECT_EQ (UsbDevice::extractDeviceName (port), name) << port;
}

class UsbDeviceTest : public SimulatedPedalTestBase
{
protected:
    void SetUp() override
    {
        SimulatedPedalTestBase::SetUp();
        SimulatedPedal::Options options;
        options.channel = 3;
        pedal = &addPedal ("TVL-1A2B", options);
        device = std::make_unique<UsbDevice> ("TVL-1A2B",
                                              juce::MidiDeviceInfo (pedal->getInputPortName(), pedal->getInputIdentifier()),
                                              juce::MidiDeviceInfo (pedal->getOutputPortName(), pedal->getOutputIdentifier()),
                                              Platform::getInstance());
    }

    void TearDown() override
    {
        if (device != nullptr)
        {
            device->release();
            device->detach (&listener);
            device.reset();
        }

        SimulatedPedalTestBase::TearDown();
    }

    /** Delivers what the pedal sent (its MIDI thread, then the 50 ms drain). */
    void deliver()
    {
        pump (30);
        device->getMidi().timerCallback();
    }

    void inject (const juce::MidiMessage& m)
    {
        device->getMidi().handleIncomingMidiMessage (nullptr, m);
        device->getMidi().timerCallback();
    }

    SimulatedPedal* pedal = nullptr;
    std::unique_ptr<UsbDevice> device;
    Recorder listener;
};

TEST_F (UsbDeviceTest, AttachingInAudioModeSelectsTheModeAndWaitsForTheAnswer)
{
    device->attach (&listener, UsbDevice::audio);

    const auto sent = pedal->getReceivedMessages();
    ASSERT_EQ (sent.size(), 1u);
    EXPECT_EQ (bytesOf (sent[0]), (std::vector<juce::uint8> { 0xF0, 0x00, 0x02, 0x26, 0x02, 0x00, 0x00, 0x11, 0x01, 0xF7 }));
    EXPECT_EQ (device->getMode(), UsbDevice::none) << "the mode comes from the pedal";

    deliver();

    EXPECT_EQ (device->getSysexId(), 0x21);
    EXPECT_EQ (device->getMode(), UsbDevice::audio);
    EXPECT_EQ (device->getChannel(), 3);
    EXPECT_EQ (device->getFirmwareVersion(), 0x010203);
    EXPECT_TRUE (device->isAudioDeviceOpen());
    EXPECT_EQ (listener.events, "cs");
    EXPECT_EQ (listener.messages, 2) << "AnnounceId and ModeStatus both reach the listener";
}

TEST_F (UsbDeviceTest, RepeatedAudioReportsOpenTheDeviceOnceButConnectEachTime)
{
    device->attach (&listener, UsbDevice::audio);
    deliver();
    auto* opened = device->getAudioStream().getAudioIODevice();
    ASSERT_NE (opened, nullptr);

    inject (fromPedal (*pedal, P::systemGroup, P::modeStatusAudio, { 0, 1, 0, 2, 0, 4 }));

    EXPECT_EQ (device->getAudioStream().getAudioIODevice(), opened);
    EXPECT_EQ (listener.events, "cscs");
    EXPECT_EQ (device->getFirmwareVersion(), 0x010204);

    inject (fromPedal (*pedal, P::systemGroup, P::modeStatusControl, { 0, 1, 0, 2, 0, 4 }));
    EXPECT_EQ (device->getMode(), UsbDevice::control);
    EXPECT_FALSE (device->isAudioDeviceOpen()) << "control mode closes the audio device";

    inject (fromPedal (*pedal, P::systemGroup, P::modeStatusNone));
    EXPECT_EQ (device->getMode(), UsbDevice::none);
    EXPECT_EQ (listener.events, "cscscss");
}

TEST_F (UsbDeviceTest, KeepAliveFlowsOnTheLearntChannelAndSilenceDropsTheModeOnce)
{
    device->attach (&listener, UsbDevice::control);
    deliver();
    ASSERT_EQ (device->getMode(), UsbDevice::control);
    pedal->clearReceivedMessages();

    device->timerCallback (UsbDevice::keepAliveTimer);
    ASSERT_EQ (pedal->countReceived (P::systemGroup, P::keepAlive), 1);
    EXPECT_EQ (pedal->getReceivedMessages()[0].getRawData()[7], 0x14) << "channel 3 goes out as 3 + 1";
    deliver();   // the pedal answers, which re-arms the countdown
    EXPECT_EQ (device->getSilenceCountdown(), UsbDevice::defaultSilenceTimeout);

    pedal->setSilent (true);
    listener.events.clear();

    for (int tick = 0; tick < 9; ++tick)
        device->timerCallback (UsbDevice::keepAliveTimer);
    EXPECT_EQ (device->getMode(), UsbDevice::control);

    device->timerCallback (UsbDevice::keepAliveTimer);
    EXPECT_EQ (device->getMode(), UsbDevice::none);
    EXPECT_EQ (listener.events, "s");

    for (int tick = 0; tick < 20; ++tick)
        device->timerCallback (UsbDevice::keepAliveTimer);
    EXPECT_EQ (listener.events, "s") << "the countdown stays stopped";
}

TEST_F (UsbDeviceTest, NoKeepAliveBeforeThePedalAnnouncedItself)
{
    pedal->setSilent (true);
    device->attach (&listener, UsbDevice::audio);
    inject (fromPedal (*pedal, P::systemGroup, P::modeStatusAudio, { 0, 1, 0, 2, 0, 3 }, 0));   // id 0: dropped

    for (int tick = 0; tick < 5; ++tick)
        device->timerCallback (UsbDevice::keepAliveTimer);

    EXPECT_EQ (device->getSysexId(), 0);
    EXPECT_EQ (device->getMode(), UsbDevice::none);
    EXPECT_EQ (pedal->countReceived (P::systemGroup, P::keepAlive), 0);
}

TEST_F (UsbDeviceTest, OnlyTheFirstAnnouncementCountsAndOtherPedalsAreIgnored)
{
    device->attach (&listener, UsbDevice::control);
    deliver();
    ASSERT_EQ (device->getSysexId(), 0x21);
    const int before = listener.messages;

    inject (fromPedal (*pedal, P::systemGroup, P::announceId, {}, 0x33));
    inject (fromPedal (*pedal, P::systemGroup, P::modeStatusNone, {}, 0x33));

    EXPECT_EQ (device->getSysexId(), 0x21);
    EXPECT_EQ (device->getMode(), UsbDevice::control);
    EXPECT_EQ (listener.messages, before) << "nothing from another id reaches the listener";

    inject (juce::MidiMessage::controllerEvent (1, 7, 100));
    EXPECT_EQ (listener.messages, before + 1) << "non-SysEx messages pass unchanged";
}

TEST_F (UsbDeviceTest, ReleaseSendsReleaseAndClosesEverything)
{
    device->attach (&listener, UsbDevice::audio);
    deliver();
    ASSERT_TRUE (device->isAudioDeviceOpen());

    device->release();

    EXPECT_EQ (pedal->countReceived (P::systemGroup, P::releasePedal), 1);
    EXPECT_FALSE (device->isAudioDeviceOpen());
    EXPECT_FALSE (device->getMidi().isInputOpen());
    EXPECT_EQ (device->getMode(), UsbDevice::none);
    EXPECT_EQ (pedal->getMode(), 0);

    device->release();
    EXPECT_EQ (pedal->countReceived (P::systemGroup, P::releasePedal), 1) << "nothing to release twice";
}

TEST_F (UsbDeviceTest, SettingsChangesReachTheStream)
{
    device->getSettings().outAdjust.setValue (2, nullptr);
    device->getSettings().blockSize.setValue (128, nullptr);

    device->prepareToPlay (256, 48000.0);
    const auto& setup = device->getAudioStream().getActiveSetup();
    EXPECT_EQ (setup.outAdjust, 2);
    EXPECT_EQ (setup.deviceBlockSize, 128);
    device->releaseResources();
}

TEST_F (UsbDeviceTest, LatencyIsReportedWhenTheStreamIsSetUpAndOnlyWhenItChanges)
{
    device->attach (&listener, UsbDevice::audio);
    deliver();
    listener.latencies.clear();

    device->prepareToPlay (512, 48000.0);
    const int total = device->getAudioStream().getTotalLatency();
    ASSERT_GT (total, 0);
    EXPECT_EQ (listener.latencies, (std::vector<int> { total }));

    device->settingsChanged();   // nothing changed
    EXPECT_EQ (listener.latencies.size(), 1u);

    device->getSettings().extraLatency.setValue (100, nullptr);
    ASSERT_EQ (listener.latencies.size(), 2u);
    EXPECT_EQ (listener.latencies.back(), total + 100);

    device->notifyLatencyChanged (-1);
    EXPECT_EQ (listener.latencies.back(), total + 100) << "-1 stands for the stream's own figure";
    device->releaseResources();
}
