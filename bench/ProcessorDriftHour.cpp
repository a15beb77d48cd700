// One simulated hour through the whole processor, in virtual time, with the simulated pedal in
// pass-through on a drifting clock: stream restarts after lock, and where the pedal's audio lands
// against the dry path (the reported latency) minute by minute.
//
//   thornvale_processor_hour [ppm ...]        (default: -80 80)

#include "PluginProcessor.h"
#include "Platform/Platform.h"
#include "Simulator/SimulatedPedals.h"
#include "Simulator/VirtualTimeDriver.h"
#include <iostream>

namespace
{
    float tone (juce::int64 i)
    {
        const double t = (double) i / 48000.0;
        return (float) (0.3 * std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 * t)
                      + 0.2 * std::sin (2.0 * juce::MathConstants<double>::pi * 1234.5 * t + 0.3));
    }
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    auto& platform = Platform::getInstance();
    platform.setRealPortsEnabled (false);

    std::vector<double> offsets;
    for (int i = 1; i < argc; ++i)
        offsets.push_back (juce::String (argv[i]).getDoubleValue());
    if (offsets.empty())
        offsets = { -80.0, 80.0 };

    for (const double ppm : offsets)
    {
        SimulatedPedal::Options options;
        options.audio.pacing = SimulatedAudioIODevice::Pacing::external;
        options.audio.ppmOffset = ppm;
        auto& pedal = platform.getSimulatedPedals().addPedal ("TVL-0E0E", options);
        pedal.getSoundParameters()->passThrough = true;

        auto processor = std::make_unique<ThornvaleAudioProcessor>();
        processor->getDeviceManager().scanForDevices();
        processor->setUsbDevice ("TVL-0E0E", UsbDevice::audio);
        auto* device = processor->getDevice();

        for (int i = 0; i < 200 && ! device->isAudioDeviceOpen(); ++i)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (10);

        for (auto* id : { "dacL", "dacR" })
            processor->getParameterState().getParameter (id)->set (127, GestureTracker::sourceEditor);

        VirtualTimeDriver driver (device->getAudioStream(), {});
        juce::MidiBuffer midi;
        driver.hostProcess = [&] (juce::AudioBuffer<float>& b) { processor->processBlock (b, midi); };
        processor->prepareToPlay (48000.0, 512);
        driver.prepare (48000.0, 512);

        std::vector<float> window;
        juce::int64 windowStart = -1;
        driver.beforeHostBlock = [] (juce::AudioBuffer<float>& b, juce::int64 first)
        {
            for (int i = 0; i < b.getNumSamples(); ++i)
                b.setSample (0, i, tone (first + i)), b.setSample (1, i, tone (first + i));
        };
        const VirtualTimeDriver::BlockFunction record = [&] (juce::AudioBuffer<float>& b, juce::int64 first)
        {
            if (windowStart < 0)
                windowStart = first;
            window.insert (window.end(), b.getReadPointer (0), b.getReadPointer (0) + b.getNumSamples());
        };

        driver.run (60.0);   // lock
        const int restartsAtLock = device->getAudioStream().getRestartCount();
        const int latency = processor->getReportedLatency();
        int worst = 0;

        std::cout << "pedal clock " << (ppm >= 0 ? "+" : "") << ppm << " ppm, host/device blocks 512/512, reported latency "
                  << latency << "\nminute   lag   lag - reported   mean error at that lag\n";

        for (int minute = 1; minute <= 60; ++minute)
        {
            window.clear();
            windowStart = -1;
            driver.afterHostBlock = record;
            driver.run (1.0);          // one second of audio to look at
            driver.afterHostBlock = nullptr;
            driver.run (59.0);

            int best = latency;
            double bestError = 1.0e9;

            for (int lag = latency - 512; lag <= latency + 512; ++lag)
            {
                double e = 0.0;
                for (size_t k = 0; k < window.size(); k += 31)
                    e += std::abs (window[k] - tone (windowStart + (juce::int64) k - lag));
                if (e < bestError)
                    bestError = e, best = lag;
            }

            worst = std::max (worst, std::abs (best - latency));

            if (minute % 5 == 0 || minute == 1)
                std::cout << juce::String (minute).paddedLeft (' ', 6) << juce::String (best).paddedLeft (' ', 6)
                          << juce::String (best - latency).paddedLeft (' ', 17)
                          << "   " << juce::String (bestError / ((double) window.size() / 31.0), 5) << "\n";
        }

        std::cout << "restarts after lock: " << device->getAudioStream().getRestartCount() - restartsAtLock
                  << ", largest |lag - reported| over the hour: " << worst << " samples\n\n";

        processor->releaseResources();
        processor.reset();
        platform.getSimulatedPedals().removeAllPedals();
    }

    return 0;
}
