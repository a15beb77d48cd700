#include "SimulatedPedalTestBase.h"
#include "PluginProcessor.h"
#include "Simulator/VirtualTimeDriver.h"

// The whole audio path in virtual time: host blocks through the processor, the stream's two
// rings, the simulated pedal's device on its own clock, and back, against the dry path.

class PedalRoundTripTest : public SimulatedPedalTestBase
{
protected:
    void start (int hostBlock, int deviceBlock, int converterLatency, double ppm = 0.0)
    {
        SimulatedPedal::Options options;
        options.audio.converterLatency = converterLatency;
        options.audio.ppmOffset = ppm;
        pedal = &addPedal ("TVL-0C0D", options);

        processor = std::make_unique<ThornvaleAudioProcessor>();
        processor->getDeviceManager().scanForDevices();
        processor->setUsbDevice ("TVL-0C0D", UsbDevice::audio);
        device = processor->getDevice();
        ASSERT_NE (device, nullptr);
        ASSERT_TRUE (pumpUntil ([this] { return device->isAudioDeviceOpen(); }));
        device->getSettings().blockSize.setValue (deviceBlock, nullptr);

        VirtualTimeDriver::Options driverOptions;
        driver = std::make_unique<VirtualTimeDriver> (device->getAudioStream(), driverOptions);
        driver->hostProcess = [this] (juce::AudioBuffer<float>& block)
        {
            juce::MidiBuffer midi;
            processor->processBlock (block, midi);
        };
        processor->prepareToPlay (48000.0, hostBlock);
        driver->prepare (48000.0, hostBlock);
    }

    void TearDown() override
    {
        driver.reset();
        processor.reset();
        SimulatedPedalTestBase::TearDown();
    }

    /** Runs the calibration as the device options do, in virtual time; returns "extraLatency". */
    int calibrate()
    {
        const juce::uint8 go[] = { 1 };
        device->sendSysExMessage (PedalProtocol::systemGroup, PedalProtocol::calibrate, go, 1);
        pumpUntil ([this] { return device->getLatencyDetector().getState() != AudioLatencyDetector::off; });

        for (int step = 0; step < 40 && device->getLatencyDetector().getState() != AudioLatencyDetector::found; ++step)
            driver->run (0.1);

        device->getLatencyDetector().timerCallback();   // the 100 ms result poll
        return device->getSettings().extraLatency;
    }

    static float tone (juce::int64 i)
    {
        const double t = (double) i / 48000.0;
        return (float) (0.3 * std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 * t)
                      + 0.2 * std::sin (2.0 * juce::MathConstants<double>::pi * 1234.5 * t + 0.3));
    }

    SimulatedPedal* pedal = nullptr;
    UsbDevice* device = nullptr;
    std::unique_ptr<ThornvaleAudioProcessor> processor;
    std::unique_ptr<VirtualTimeDriver> driver;
};

struct Trip { int hostBlock, deviceBlock, converterLatency; double ppm; };
class PedalRoundTripCases : public PedalRoundTripTest, public ::testing::WithParamInterface<Trip> {};

// Known open problem, kept visible: in virtual time through the whole processor the pedal's audio
// does not yet come back at one steady lag (it wanders by tens to a hundred samples over minutes
// and never matches any single lag closely), so the exact alignment with the dry path is not
// reached. Enable with --gtest_also_run_disabled_tests while working on the stream.
TEST_P (PedalRoundTripCases, DISABLED_ThePedalsAudioLinesUpWithTheDryPathAtTheReportedLatency)
{
    start (GetParam().hostBlock, GetParam().deviceBlock, GetParam().converterLatency, GetParam().ppm);
    const int extra = calibrate();
    EXPECT_EQ (extra, juce::jmax (0, GetParam().converterLatency - AudioLatencyDetector::resultOffset))
        << "the pulse comes back after the converter latency";
    driver->run (1.0);   // the new latency restarts the stream once
    const int restartsAfterCalibration = device->getAudioStream().getRestartCount();
    pedal->getSoundParameters()->passThrough = true;   // the pedal returns what it gets
    for (auto* id : { "dacL", "dacR" })
        processor->getParameterState().getParameter (id)->set (127, GestureTracker::sourceEditor);   // unity gain to the pedal

    juce::int64 firstOut = -1;
    std::vector<float> out;
    driver->beforeHostBlock = [] (juce::AudioBuffer<float>& b, juce::int64 first)
    {
        for (int i = 0; i < b.getNumSamples(); ++i)
            b.setSample (0, i, tone (first + i)), b.setSample (1, i, tone (first + i));
    };
    driver->afterHostBlock = [&] (juce::AudioBuffer<float>& b, juce::int64 first)
    {
        if (firstOut < 0)
            firstOut = first;
        out.insert (out.end(), b.getReadPointer (0), b.getReadPointer (0) + b.getNumSamples());
    };

    const auto bestLag = [&] (size_t from, size_t to, int around)
    {
        const auto error = [&] (int lag)
        {
            double sum = 0.0;
            for (size_t k = from; k < to; ++k)
                sum += std::abs (out[k] - tone (firstOut + (juce::int64) k - lag));
            return sum / (double) (to - from);
        };

        int best = around;
        for (int lag = around - 128; lag <= around + 128; ++lag)
            if (error (lag) < error (best))
                best = lag;

        return std::make_pair (best, error (best));
    };

    driver->run (2.0);
    const int latency = processor->getReportedLatency();
    const auto early = bestLag (out.size() - 48000, out.size(), latency);
    driver->run (juce::SystemStats::getEnvironmentVariable ("THORNVALE_SETTLE_SECONDS", "4").getDoubleValue());
    const auto late = bestLag (out.size() - 48000, out.size(), latency);

    // The pedal's audio comes back whole (to the resampler's accuracy) at one lag that does not
    // move; the lag sits within a few samples of the figure the host compensates.
    EXPECT_LT (late.second, 1.0e-3);
    EXPECT_EQ (early.first, late.first) << "the alignment does not drift";
    EXPECT_NEAR (late.first, latency, 64) << "measured lag " << late.first << ", reported " << latency;
    EXPECT_EQ (processor->getReportedLatency(), latency);
    EXPECT_EQ (device->getAudioStream().getRestartCount(), restartsAfterCalibration) << "no restart once locked";
}

INSTANTIATE_TEST_SUITE_P (Setups, PedalRoundTripCases, ::testing::Values (
    Trip { 512, 0, 40, 0.0 }, Trip { 512, 0, 100, 80.0 }, Trip { 256, 0, 40, -80.0 }, Trip { 512, 64, 40, 0.0 },
    Trip { 128, 512, 300, 50.0 }, Trip { 96, 96, 60, 0.0 }),
    [] (const auto& info) { return std::to_string (info.param.hostBlock) + "_" + std::to_string (info.param.deviceBlock)
                                   + "_" + std::to_string (info.param.converterLatency); });

class CalibrationTest : public PedalRoundTripTest, public ::testing::WithParamInterface<int> {};

TEST_P (CalibrationTest, StoresTheConverterRoundTripAndTheHostLatencyFollows)
{
    constexpr int converterLatency = 75;
    start (512, GetParam(), converterLatency);
    driver->run (1.0);
    const int before = processor->getReportedLatency();

    EXPECT_EQ (calibrate(), converterLatency - AudioLatencyDetector::resultOffset);
    EXPECT_EQ (pedal->countReceived (PedalProtocol::systemGroup, PedalProtocol::calibrate), 2) << "start, then stop";
    EXPECT_FALSE (pedal->isPassThrough());
    EXPECT_EQ (processor->getReportedLatency(), before + converterLatency - AudioLatencyDetector::resultOffset);
}

INSTANTIATE_TEST_SUITE_P (DeviceBlocks, CalibrationTest, ::testing::Values (64, 96, 256, 512));
