// Drift soak of the pedal audio stream in virtual time.
//
//   thornvale_drift_soak [hours] [host/device ...]       e.g. thornvale_drift_soak 24 64/64 512/512
//   thornvale_drift_soak edge [hours]                    where the stream starts failing
//
// For each pair of host and device block sizes and each device clock offset (-90, -50, 0, +50,
// +90 ppm) it streams a pass-through pedal for the given simulated time (24 hours by default)
// and prints: restarts after the first lock (the goal is 0), the time to lock (the first second
// at which both corrections, averaged over the last ten seconds, lie within 2e-5 of the clock
// offset), and the largest error of each ring's smoothed minimum fill against its target after
// the lock.

#include <juce_audio_devices/juce_audio_devices.h>
#include <chrono>
#include <cstdio>
#include "Devices/AudioIODeviceSource.h"
#include "Simulator/SimulatedAudioIODevice.h"
#include "Simulator/VirtualTimeDriver.h"

namespace
{
    struct Result
    {
        int restarts = 0, restartsAfterLock = 0;
        double lockTime = -1.0;
        float outError = 0.0f, inError = 0.0f;   // largest |smoothed minimum fill - target| after the lock
        double wallSeconds = 0.0;
    };

    Result soak (int hostBlock, int deviceBlock, double ppm, double hours)
    {
        const auto wallStart = std::chrono::steady_clock::now();

        AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
        VirtualTimeDriver driver (stream, { 0.1, true, 11 });
        stream.setPedalSettings ({ deviceBlock == hostBlock ? 0 : deviceBlock, 1, 0, 0 });

        SimulatedAudioIODevice::Options options;
        options.ppmOffset = ppm;
        options.jitter = 0.1;
        options.pacing = SimulatedAudioIODevice::Pacing::external;
        auto* device = new SimulatedAudioIODevice ("TVL-50AK", "Thornvale Simulator", options);
        device->getModel().getParameters().passThrough = true;
        stream.setAudioIODevice (device);
        driver.prepare (48000.0, hostBlock);

        const float expected = (float) (ppm * 1.0e-6);
        constexpr float band = 2.0e-5f;
        float outHistory[10] {}, inHistory[10] {};
        int ticks = 0;
        Result r;

        driver.afterTimer = [&] (int id)
        {
            if (id != AudioIODeviceSource::fillControlTimerId)
                return;

            const auto& out = stream.getOutControl();
            const auto& in = stream.getInControl();

            if (r.lockTime < 0.0)
            {
                outHistory[ticks % 10] = out.correction;
                inHistory[ticks % 10] = in.correction;
                ++ticks;

                float outMean = 0.0f, inMean = 0.0f;
                for (int i = 0; i < 10; ++i)
                {
                    outMean += outHistory[i] / 10.0f;
                    inMean += inHistory[i] / 10.0f;
                }

                if (ticks >= 10 && std::abs (outMean - expected) <= band && std::abs (inMean + expected) <= band)
                {
                    r.lockTime = driver.getTime();
                    r.restartsAfterLock = -stream.getRestartCount();   // counted from here on
                }
                return;
            }

            r.outError = std::max (r.outError, std::abs (out.smoothedFill - (float) out.targetFill));
            r.inError = std::max (r.inError, std::abs (in.smoothedFill - (float) in.targetFill));
        };

        driver.run (hours * 3600.0);

        r.restarts = stream.getRestartCount();
        r.restartsAfterLock = r.lockTime >= 0.0 ? r.restartsAfterLock + r.restarts : -1;
        r.wallSeconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - wallStart).count();
        return r;
    }
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (args[0] == "edge")
    {
        const double hours = args.size() > 1 ? args[1].getDoubleValue() : 1.0;
        std::printf ("Where the stream starts failing: 512/512, %.2f simulated hours each\n", hours);
        std::printf ("%8s %10s %12s\n", "ppm", "restarts", "lock (s)");

        for (const double ppm : { 95.0, 100.0, 105.0, 110.0, 120.0, 150.0, -95.0, -100.0, -105.0, -110.0, -120.0, -150.0 })
        {
            const auto r = soak (512, 512, ppm, hours);
            std::printf ("%8.0f %10d %12.0f\n", ppm, r.restarts, r.lockTime);
            std::fflush (stdout);
        }
        return 0;
    }

    const double hours = args.size() > 0 ? args[0].getDoubleValue() : 24.0;
    juce::StringArray pairs;
    for (int i = 1; i < args.size(); ++i)
        pairs.add (args[i]);
    if (pairs.isEmpty())
        pairs = { "64/64", "512/512", "128/512" };

    std::printf ("Drift soak: %.2f simulated hours per run, outAdjust 1, inAdjust 0, 10%% jitter on both clocks\n", hours);
    std::printf ("%9s %6s %9s %14s %10s %14s %14s %9s\n", "host/dev", "ppm", "restarts", "after lock", "lock (s)",
                 "out err (smp)", "in err (smp)", "wall (s)");

    for (const auto& pair : pairs)
    {
        const int host = pair.upToFirstOccurrenceOf ("/", false, false).getIntValue();
        const int device = pair.fromFirstOccurrenceOf ("/", false, false).getIntValue();

        for (const double ppm : { -90.0, -50.0, 0.0, 50.0, 90.0 })
        {
            const auto r = soak (host, device, ppm, hours);
            std::printf ("%9s %6.0f %9d %14d %10.0f %14.0f %14.0f %9.1f\n", pair.toRawUTF8(), ppm, r.restarts,
                         r.restartsAfterLock, r.lockTime, r.outError, r.inError, r.wallSeconds);
            std::fflush (stdout);
        }
    }

    return 0;
}
