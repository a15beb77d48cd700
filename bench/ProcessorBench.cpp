// Audio-thread cost of the processor's block processing with a (simulated) pedal streaming, per
// sample, against a plain copy of the block, at 48 kHz with host blocks of 64 and 512. The
// device side runs in virtual time between host blocks and is not counted.
//
//   thornvale_bench_processor

#include "PluginProcessor.h"
#include "Platform/Platform.h"
#include "Simulator/SimulatedPedals.h"
#include "Simulator/VirtualTimeDriver.h"
#include <chrono>
#include <iostream>

namespace
{
    double nanosecondsPerSample (std::function<void (juce::AudioBuffer<float>&)>& work, VirtualTimeDriver& driver, int block)
    {
        double total = 0.0;
        juce::int64 samples = 0;

        driver.hostProcess = [&] (juce::AudioBuffer<float>& b)
        {
            const auto start = std::chrono::steady_clock::now();
            work (b);
            total += std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - start).count();
            samples += block;
        };

        driver.run (20.0);
        return total / (double) samples;
    }
}

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;
    auto& platform = Platform::getInstance();
    platform.setRealPortsEnabled (false);

    std::cout << "Block processing with a streaming pedal, 48 kHz, 2 channels (core built at the build type's optimisation)\n";
    std::cout << "block   processBlock ns/sample   plain copy ns/sample   ratio\n";

    for (const int block : { 64, 512 })
    {
        SimulatedPedal::Options options;
        options.audio.pacing = SimulatedAudioIODevice::Pacing::external;
        platform.getSimulatedPedals().addPedal ("TVL-BE0C", options);

        auto processor = std::make_unique<ThornvaleAudioProcessor>();
        processor->getDeviceManager().scanForDevices();
        processor->setUsbDevice ("TVL-BE0C", UsbDevice::audio);
        auto* device = processor->getDevice();

        for (int i = 0; i < 100 && ! device->isAudioDeviceOpen(); ++i)
            juce::MessageManager::getInstance()->runDispatchLoopUntil (10);

        VirtualTimeDriver driver (device->getAudioStream(), {});
        processor->prepareToPlay (48000.0, block);
        driver.prepare (48000.0, block);
        driver.beforeHostBlock = [] (juce::AudioBuffer<float>& b, juce::int64 first)
        {
            for (int i = 0; i < b.getNumSamples(); ++i)
                b.setSample (0, i, (float) std::sin (0.01 * (double) (first + i))), b.setSample (1, i, b.getSample (0, i));
        };

        juce::MidiBuffer midi;
        juce::AudioBuffer<float> copy (2, block);
        std::function<void (juce::AudioBuffer<float>&)> process = [&] (juce::AudioBuffer<float>& b) { processor->processBlock (b, midi); };
        std::function<void (juce::AudioBuffer<float>&)> plain = [&] (juce::AudioBuffer<float>& b)
        {
            for (int c = 0; c < 2; ++c)
                copy.copyFrom (c, 0, b, c, 0, block);
        };

        driver.run (2.0);   // the stream starts and locks
        const double cost = nanosecondsPerSample (process, driver, block);
        const double floor = nanosecondsPerSample (plain, driver, block);

        std::cout << juce::String (block).paddedLeft (' ', 5) << "   " << juce::String (cost, 1).paddedLeft (' ', 22)
                  << "   " << juce::String (floor, 2).paddedLeft (' ', 20) << "   " << juce::String (cost / floor, 1) << "x\n";

        processor->releaseResources();
        processor.reset();
        platform.getSimulatedPedals().removeAllPedals();
    }

    return 0;
}
