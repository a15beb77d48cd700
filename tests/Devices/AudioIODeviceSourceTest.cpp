#include <gtest/gtest.h>
#include <set>
#include "StreamTestSupport.h"

namespace
{
    using State = AudioIODeviceSource::StreamState;

    /** A clock that a test sets by hand. */
    struct ManualClock : AudioIODeviceSource::Clock
    {
        juce::int64 getTicks() noexcept override            { return now; }
        juce::int64 getTicksPerSecond() noexcept override   { return 48000; }   // one tick per sample
        juce::int64 now = 0;
    };

    /** Calls both sides of a stream by hand: a device callback of D samples, a host block of H. */
    struct ManualSides
    {
        ManualSides (AudioIODeviceSource& s, int h, int d) : stream (s), host (2, h), deviceIn (2, d), deviceOut (2, d)
        {
            host.clear();
            deviceIn.clear();
        }

        void deviceCallback()
        {
            stream.audioDeviceIOCallbackWithContext (deviceIn.getArrayOfReadPointers(), 2, deviceOut.getArrayOfWritePointers(), 2,
                                                     deviceOut.getNumSamples(), {});
        }

        void hostBlock()
        {
            stream.getNextAudioBlock (juce::AudioSourceChannelInfo (&host, 0, host.getNumSamples()));
        }

        AudioIODeviceSource& stream;
        juce::AudioBuffer<float> host, deviceIn, deviceOut;
    };

    std::unique_ptr<SimulatedAudioIODevice> makeExternalDevice()
    {
        SimulatedAudioIODevice::Options options;
        options.pacing = SimulatedAudioIODevice::Pacing::external;
        return std::make_unique<SimulatedAudioIODevice> ("TVL-1A2B", "Thornvale Simulator", options);
    }
}

TEST (AudioIODeviceSourceTest, TheFirstHostBlockIsSilentAndPlacesBothFillsAtTheirTargets)
{
    struct Case { int host, device, outAdjust, inAdjust, outTarget, inTarget, outMax, inMax; };
    const Case cases[] = {
        { 512, 0,   1, 0, 1536, 1024, 12288, 8192 },
        { 128, 512, 1, 0, 1152, 640,  9216,  5120 },
        { 256, 256, 2, 2, 1024, 1024, 8192,  8192 },
    };

    for (const auto& c : cases)
    {
        AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
        stream.setPedalSettings ({ c.device, c.outAdjust, c.inAdjust, 0 });
        stream.setAudioIODevice (makeExternalDevice().release());
        stream.prepareToPlay (c.host, 48000.0);
        ASSERT_EQ (stream.getStreamState(), State::starting);

        ManualSides sides (stream, c.host, c.device != 0 ? c.device : c.host);
        sides.deviceCallback();
        ASSERT_EQ (stream.getStreamState(), State::deviceRunning);

        fillWithSine (sides.host, 100);
        sides.hostBlock();

        EXPECT_EQ (stream.getStreamState(), State::streaming);
        EXPECT_EQ (sides.host.getMagnitude (0, c.host), 0.0f) << "the first host block is silent";
        EXPECT_EQ (stream.getToPedal().numReadable(), c.outTarget);
        EXPECT_EQ (stream.getFromPedal().numReadable(), c.inTarget);
        EXPECT_EQ (stream.getOutControl().maxFill, c.outMax);
        EXPECT_EQ (stream.getInControl().maxFill, c.inMax);
        EXPECT_EQ (stream.getTotalLatency(), c.outTarget + c.inTarget + 71);
        EXPECT_TRUE (stream.getSetupProblem().isEmpty());
    }
}

TEST (AudioIODeviceSourceTest, AudioCrossesBothWaysWithoutLosingASample)
{
    struct Case { double ppm, jitter; };

    for (const auto c : { Case { 0.0, 0.0 }, Case { 60.0, 0.2 }, Case { -60.0, 0.2 } })
    {
        StreamRig::Config config;
        config.ppm = c.ppm;
        config.deviceJitter = c.jitter;
        config.hostJitter = c.jitter;
        StreamRig rig (config);

        // An impulse every 4800 host samples; each echo's distance from it is the round trip.
        std::vector<juce::int64> delays;
        juce::int64 lastImpulse = -1;

        rig.driver.beforeHostBlock = [&] (juce::AudioBuffer<float>& block, juce::int64 first)
        {
            block.clear();
            for (int i = 0; i < block.getNumSamples(); ++i)
                if ((first + i) % 4800 == 0)
                {
                    block.setSample (0, i, 1.0f);
                    lastImpulse = first + i;
                }
        };
        rig.driver.afterHostBlock = [&] (juce::AudioBuffer<float>& block, juce::int64 first)
        {
            for (int i = 0; i < block.getNumSamples(); ++i)
                if (block.getSample (0, i) > 0.5f && lastImpulse >= 0)
                    delays.push_back ((first + i) - lastImpulse);
        };

        rig.driver.run (120.0);
        ASSERT_EQ (rig.stream.getRestartCount(), 0) << c.ppm << " ppm";
        ASSERT_GT (delays.size(), 1000u);

        // Right after the start the round trip is both target fills, the device's block and
        // converter latency, and the two interpolators' 2 samples each.
        if (c.jitter == 0.0)
            EXPECT_EQ (delays.front(), 1536 + 1024 + 512 + 40 + 4);

        // Afterwards the controller moves the fills slowly: a lost or repeated block would show
        // as a jump between two echoes 0.1 s apart.
        for (size_t i = 1; i < delays.size(); ++i)
            ASSERT_LE (std::abs (delays[i] - delays[i - 1]), 2) << c.ppm << " ppm, echo " << i;
    }
}

TEST (AudioIODeviceSourceTest, AHostThatStopsCallingUnderrunsTheDeviceAndTheStreamRestartsWithin100ms)
{
    StreamRig rig;
    rig.driver.run (2.0);
    ASSERT_EQ (rig.stream.getStreamState(), State::streaming);

    // Watch each device callback's result through the restart timer's view of the state.
    double failedAt = -1.0, restartedAt = -1.0;
    rig.driver.afterTimer = [&] (int)
    {
        if (restartedAt < 0 && failedAt >= 0 && rig.stream.getStreamState() == State::starting)
            restartedAt = rig.driver.getTime();
    };

    rig.driver.setHostCalling (false);
    const double stoppedAt = rig.driver.getTime();

    // Step in small slices to see when the device underran.
    while (rig.driver.getTime() < stoppedAt + 1.0)
    {
        rig.driver.run (0.001);
        if (failedAt < 0 && rig.stream.getStreamState() > State::streaming)
        {
            failedAt = rig.driver.getTime();
            EXPECT_EQ (rig.stream.getStreamState(), State::deviceUnderrun);
        }
    }

    ASSERT_GE (failedAt, 0.0);
    EXPECT_LT (failedAt - stoppedAt, 0.05) << "toPedal (1536 samples) runs dry in 32 ms";
    ASSERT_GE (restartedAt, 0.0);
    EXPECT_LE (restartedAt - failedAt, 0.1 + 1.0e-6);
    EXPECT_EQ (rig.stream.getRestartCount(), 1) << "after the restart the stream waits for the host";
    EXPECT_EQ (rig.stream.getStreamState(), State::deviceRunning);

    rig.driver.setHostCalling (true);
    rig.driver.run (1.0);
    EXPECT_EQ (rig.stream.getStreamState(), State::streaming);
    EXPECT_EQ (rig.stream.getRestartCount(), 1);
}

TEST (AudioIODeviceSourceTest, ClocksBeyondTheCorrectionRunFillsOutOfRangeAndRestart)
{
    struct Case { double ppm; std::set<int> expectedErrors; float saturatedInCorrection; };
    const Case cases[] = {
        { +3000.0, { State::fromPedalOutOfRange, State::deviceUnderrun }, -AudioIODeviceSource::maxCorrection },
        { -3000.0, { State::hostUnderrun, State::toPedalOutOfRange }, +AudioIODeviceSource::maxCorrection },
    };

    for (const auto& c : cases)
    {
        StreamRig::Config config;
        config.ppm = c.ppm;
        StreamRig rig (config);

        std::set<int> errors;
        float largestCorrection = 0.0f;
        bool sawFullInCorrection = false;
        int streamingAfterRestart = 0;

        rig.driver.afterHostBlock = [&] (juce::AudioBuffer<float>&, juce::int64)
        {
            const int s = rig.stream.getStreamState();
            if (s > State::streaming)
                errors.insert (s);
            if (s == State::streaming && rig.stream.getRestartCount() > 0)
                ++streamingAfterRestart;
        };
        rig.driver.afterTimer = [&] (int)
        {
            for (const auto* control : { &rig.stream.getOutControl(), &rig.stream.getInControl() })
                largestCorrection = std::max (largestCorrection, std::abs (control->correction));
            sawFullInCorrection |= rig.stream.getInControl().correction == c.saturatedInCorrection;
        };

        rig.driver.run (120.0);

        EXPECT_GT (rig.stream.getRestartCount(), 0) << c.ppm;
        EXPECT_GT (streamingAfterRestart, 0) << c.ppm << " ppm: streams again after restarting";
        for (int e : errors)
            EXPECT_TRUE (c.expectedErrors.count (e) == 1) << c.ppm << " ppm: unexpected state " << e;
        EXPECT_LE (largestCorrection, AudioIODeviceSource::maxCorrection);
        EXPECT_TRUE (sawFullInCorrection) << c.ppm << " ppm: a far-off fill gives the full correction";
    }
}

TEST (AudioIODeviceSourceTest, TheCorrectionStaysWithinItsLimitAndLocksOnTheClockOffset)
{
    for (const double ppm : { -90.0, 0.0, 90.0 })
    {
        StreamRig::Config config;
        config.ppm = ppm;
        config.deviceJitter = 0.15;
        config.hostJitter = 0.15;
        StreamRig rig (config);

        // The mean correction over the last minutes must match the clock offset, else the fills
        // would drift away: a device clock fast by ppm drains toPedal and fills fromPedal, so
        // the readers' ratios settle at about 1 / (1 + ppm): corrections of +ppm and -ppm. The
        // fills still wander with the phase of the two clocks, so the mean is only near it.
        float largest = 0.0f;
        double outSum = 0.0, inSum = 0.0;
        int count = 0;
        rig.driver.afterTimer = [&] (int id)
        {
            const auto& out = rig.stream.getOutControl();
            const auto& in = rig.stream.getInControl();
            largest = std::max ({ largest, std::abs (out.correction), std::abs (in.correction) });

            if (id == AudioIODeviceSource::fillControlTimerId && rig.driver.getTime() > 360.0)
            {
                outSum += out.correction;
                inSum += in.correction;
                ++count;
            }
        };

        rig.driver.run (600.0);

        EXPECT_EQ (rig.stream.getRestartCount(), 0) << ppm;
        EXPECT_LE (largest, AudioIODeviceSource::maxCorrection) << ppm;
        ASSERT_GT (count, 0);
        EXPECT_NEAR (outSum / count, ppm * 1.0e-6, 1.5e-5) << ppm;
        EXPECT_NEAR (inSum / count, -ppm * 1.0e-6, 1.5e-5) << ppm;
    }
}

TEST (AudioIODeviceSourceTest, IrregularCallbacksLeaveTheMinimumAndTheCorrectionAlone)
{
    ManualClock clock;
    AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
    stream.setClock (&clock);
    stream.setAudioIODevice (makeExternalDevice().release());
    stream.prepareToPlay (512, 48000.0);

    ManualSides sides (stream, 512, 512);
    auto cycle = [&] (int ticksApart)
    {
        clock.now += ticksApart;
        sides.deviceCallback();
        sides.hostBlock();
    };

    for (int i = 0; i < 20; ++i)
        cycle (512);

    ASSERT_EQ (stream.getStreamState(), State::streaming);
    stream.timerCallback (AudioIODeviceSource::fillControlTimerId);
    const float correction = stream.getOutControl().correction;
    EXPECT_GT (correction, 0.0f) << "the smoothed fill starts at 0 after a reset";

    for (int i = 0; i < 20; ++i)
        cycle (i % 2 == 0 ? 300 : 724);   // 0.59 and 1.41 periods apart: outside 0.75 .. 1.25

    EXPECT_TRUE (stream.isDeviceIrregular());
    stream.timerCallback (AudioIODeviceSource::fillControlTimerId);
    EXPECT_EQ (stream.getOutControl().correction, correction) << "no regular callback: the correction stays";
    EXPECT_EQ (stream.getOutControl().minFill.get(), AtomicMinimum::empty);

    stream.setClock (nullptr);
}

TEST (AudioIODeviceSourceTest, BufferingSettingsResetTheRingsButABlockSizeChangeReopensTheDevice)
{
    StreamRig rig;
    rig.driver.run (3.0);
    ASSERT_EQ (rig.stream.getStreamState(), State::streaming);
    ASSERT_EQ (rig.device->getOpenCount(), 1);

    // "outAdjust" 1 -> 2 while streaming.
    rig.stream.setPedalSettings ({ 0, 2, 0, 0 });
    rig.stream.updateAudioParameters (true);
    EXPECT_EQ (rig.stream.getStreamState(), State::starting);
    EXPECT_EQ (rig.stream.getToPedal().numReadable(), 0) << "the rings were reset";
    EXPECT_EQ (rig.device->getOpenCount(), 1) << "the device kept running";
    EXPECT_TRUE (rig.device->isPlaying());

    rig.driver.run (1.0);
    EXPECT_EQ (rig.stream.getStreamState(), State::streaming);
    EXPECT_EQ (rig.stream.getOutControl().targetFill, 2048);

    // "blockSize" 0 -> 256: the device is closed and opened again at the new size.
    rig.stream.setPedalSettings ({ 256, 2, 0, 0 });
    rig.stream.updateAudioParameters (true);
    EXPECT_EQ (rig.device->getOpenCount(), 2);
    EXPECT_EQ (rig.device->getCurrentBufferSizeSamples(), 256);

    rig.driver.run (1.0);
    EXPECT_EQ (rig.stream.getStreamState(), State::streaming);
    EXPECT_EQ (rig.stream.getOutControl().targetFill, 2 * 512 + 768);
    EXPECT_EQ (rig.stream.getRestartCount(), 0);
}

TEST (AudioIODeviceSourceTest, HandingOverDevices)
{
    AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);

    EXPECT_FALSE (stream.setAudioIODevice (nullptr));

    auto* device = makeExternalDevice().release();
    EXPECT_FALSE (stream.setAudioIODevice (device)) << "not prepared yet: the device stays closed";
    EXPECT_EQ (stream.getStreamState(), State::stopped);

    stream.prepareToPlay (512, 44100.0);
    EXPECT_TRUE (device->isOpen());
    EXPECT_EQ (device->getCurrentSampleRate(), 44100.0);
    EXPECT_EQ (stream.getStreamState(), State::starting);

    EXPECT_TRUE (stream.setAudioIODevice (device)) << "the same device: nothing happens";
    EXPECT_EQ (stream.getStreamState(), State::starting);

    auto* second = makeExternalDevice().release();
    EXPECT_TRUE (stream.setAudioIODevice (second)) << "a new device opens with the active setup";
    EXPECT_EQ (stream.getAudioIODevice(), second);

    EXPECT_FALSE (stream.setAudioIODevice (nullptr));
    EXPECT_EQ (stream.getAudioIODevice(), nullptr);
    EXPECT_EQ (stream.getStreamState(), State::stopped);

    // A prepare with no rate or block size leaves everything as it was.
    stream.prepareToPlay (0, 48000.0);
    EXPECT_EQ (stream.getActiveSetup().sampleRate, 44100.0);
    EXPECT_EQ (stream.getActiveSetup().hostBlockSize, 512);

    stream.releaseResources();
    EXPECT_EQ (stream.getStreamState(), State::stopped);
}

TEST (AudioIODeviceSourceTest, SetupsThatDoNotFitTheRingsAreRefusedAndReported)
{
    struct Case { int host, device, outAdjust, inAdjust, extraLatency; bool fits; };
    const Case cases[] = {
        { 2048, 0,     2, 2, 9999, true  },   // every setting at its largest still fits at 2048
        { 2521, 0,     2, 2, 9999, true  },
        { 2522, 0,     2, 2, 9999, false },   // the dry delay would overflow
        { 3855, 0,     1, 0, 0,    true  },   // the default settings' largest block
        { 3856, 0,     1, 0, 0,    false },   // toPedal's range would reach the end of the ring
        { 4096, 0,     0, 0, 0,    true  },
        { 4096, 256,   1, 0, 0,    true  },   // a small device block makes room again
        { 8192, 0,     0, 0, 0,    false },
        { 64,   8192,  0, 0, 0,    true  },
        { 64,   16384, 0, 0, 0,    false },
    };

    for (const auto& c : cases)
    {
        AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
        stream.setPedalSettings ({ c.device, c.outAdjust, c.inAdjust, c.extraLatency });
        stream.setAudioIODevice (makeExternalDevice().release());
        stream.prepareToPlay (c.host, 48000.0);

        const juce::String what = juce::String (c.host) + "/" + juce::String (c.device);
        EXPECT_EQ (stream.getSetupProblem().isEmpty(), c.fits) << what << ": " << stream.getSetupProblem();
        EXPECT_EQ (stream.getStreamState(), c.fits ? State::starting : State::stopped) << what;

        const auto& out = stream.getOutControl();
        const auto& in = stream.getInControl();
        for (const auto* control : { &out, &in })
            EXPECT_LE (control->maxFill, AudioIODeviceSource::ringSize - 1) << what;

        if (c.fits)
        {
            EXPECT_LE (c.host + stream.getTotalLatency(), AudioIODeviceSource::maxDelayedBlock) << what;
            EXPECT_GT (out.maxFill, out.targetFill + out.fillRange) << what;
            EXPECT_GT (in.maxFill, in.targetFill + in.fillRange) << what;
        }
    }
}

TEST (AudioIODeviceSourceTest, TheLargestSetupStreamsWithoutRestarts)
{
    StreamRig::Config config;
    config.hostBlock = 2048;
    config.outAdjust = 2;
    config.inAdjust = 2;
    config.extraLatency = 9999;
    config.ppm = 80.0;
    config.deviceJitter = 0.2;
    StreamRig rig (config);

    GlitchCounter glitches;
    rig.driver.beforeHostBlock = [] (juce::AudioBuffer<float>& block, juce::int64 first) { fillWithSine (block, first); };
    rig.driver.afterHostBlock = [&] (juce::AudioBuffer<float>& block, juce::int64) { glitches.add (block.getReadPointer (0), block.getNumSamples()); };

    rig.driver.run (120.0);

    EXPECT_EQ (rig.stream.getStreamState(), State::streaming);
    EXPECT_EQ (rig.stream.getRestartCount(), 0);
    EXPECT_LE (glitches.glitches, 1) << "only the onset after the silent start";
}
