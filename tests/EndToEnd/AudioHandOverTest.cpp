#include "SimulatedPedalTestBase.h"
#include "PluginProcessor.h"
#include <thread>

// Real threads: a host thread processes blocks without pause while the message thread takes the
// pedal, unplugs it, plugs it back and takes it again. The audio thread must never touch a pedal
// that is being given up or destroyed (run this under ThreadSanitizer and AddressSanitizer too).

class AudioHandOverTest : public SimulatedPedalTestBase {};

TEST_F (AudioHandOverTest, PedalsComeAndGoWhileTheHostProcesses)
{
    SimulatedPedal::Options options;
    options.audio.pacing = SimulatedAudioIODevice::Pacing::ownThread;
    auto& pedal = pedals().addPedal ("TVL-7A11", options);

    auto processor = std::make_unique<ThornvaleAudioProcessor>();
    processor->prepareToPlay (48000.0, 256);

    std::atomic<bool> running { true };
    std::atomic<int> blocks { 0 };
    std::atomic<bool> finite { true };

    std::thread host ([&]
    {
        juce::AudioBuffer<float> block (2, 256);
        juce::MidiBuffer midi;

        while (running)
        {
            for (int i = 0; i < 256; ++i)
                block.setSample (0, i, 0.1f), block.setSample (1, i, -0.1f);

            processor->processBlock (block, midi);

            if (! std::isfinite (block.getSample (0, 100)))
                finite = false;

            ++blocks;
            std::this_thread::sleep_for (std::chrono::microseconds (500));
        }
    });

    auto& manager = processor->getDeviceManager();

    for (int round = 0; round < 6; ++round)
    {
        manager.scanForDevices();
        processor->setUsbDevice ("TVL-7A11", round % 2 == 0 ? UsbDevice::audio : UsbDevice::control);
        ASSERT_NE (processor->getDevice(), nullptr);
        pumpUntil ([&] { return processor->getDevice() != nullptr && processor->getDevice()->getMode() != UsbDevice::none; }, 1000);
        pump (150);

        // Unplug: the manager destroys the pedal object while the host keeps processing.
        pedal.unplug();
        manager.scanForDevices();
        EXPECT_EQ (processor->getDevice(), nullptr);
        pedal.replug();
    }

    running = false;
    host.join();

    EXPECT_GT (blocks.load(), 100);
    EXPECT_TRUE (finite.load());
    processor->releaseResources();
}
