#include <gtest/gtest.h>
#include "../Devices/StreamTestSupport.h"

TEST (VirtualTimeDriverTest, EachSideRunsOnItsOwnClock)
{
    StreamRig::Config config;
    config.ppm = 1000.0;
    config.hostBlock = 480;
    config.deviceBlock = 96;
    StreamRig rig (config);

    rig.driver.run (100.0);

    EXPECT_NEAR ((double) rig.driver.getHostBlocks(), 100.0 * 48000.0 / 480.0, 1.5);   // the first call comes at time 0
    EXPECT_NEAR ((double) rig.driver.getDeviceBlocks(), 100.0 * 48000.0 * 1.001 / 96.0, 1.5);
    EXPECT_DOUBLE_EQ (rig.driver.getTime(), 100.0);
}

TEST (VirtualTimeDriverTest, RunsTheSameWayEveryTime)
{
    // Jittered clocks on both sides and a fuzzing pedal: two runs give the same samples.
    auto fingerprint = []
    {
        StreamRig::Config config;
        config.ppm = 37.0;
        config.deviceJitter = 0.2;
        config.hostJitter = 0.2;
        StreamRig rig (config);
        rig.device->getModel().getParameters().passThrough = false;

        double sum = 0.0;
        rig.driver.beforeHostBlock = [] (juce::AudioBuffer<float>& block, juce::int64 first) { fillWithSine (block, first); };
        rig.driver.afterHostBlock = [&] (juce::AudioBuffer<float>& block, juce::int64 first)
        {
            for (int i = 0; i < block.getNumSamples(); ++i)
                sum += block.getSample (0, i) * (double) ((first + i) % 1009 + 1);
        };

        rig.driver.run (20.0);
        return sum;
    };

    const double first = fingerprint();
    EXPECT_NE (first, 0.0);
    EXPECT_EQ (fingerprint(), first);
}
