// The main job: hosts the Thornvale processor the way a DAW does, in real time, with the simulated
// pedal standing in for the hardware, and renders audio through it.
//
//   thornvale_render [input.wav [output.wav]] [--preset NAME] [--ppm N] [--seconds N]
//
// With no input it renders a built-in test phrase. It takes the pedal in audio mode, calibrates
// the pedal's latency through the plug-in's own calibration path, applies a factory preset, and
// writes the output aligned to the input (as a DAW's latency compensation would).

#include "PluginProcessor.h"
#include <juce_audio_formats/juce_audio_formats.h>
#include "Platform/Platform.h"
#include "Simulator/SimulatedPedals.h"
#include <iostream>

namespace
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    const juce::String pedalName ("TVL-DE30");

    /** A short phrase of plucked notes, bass and a chord, made on the spot. */
    juce::AudioBuffer<float> makeTestPhrase (double seconds)
    {
        const int length = (int) (seconds * sampleRate);
        juce::AudioBuffer<float> phrase (2, length);
        phrase.clear();

        const double notes[] = { 82.41, 110.0, 146.83, 196.0, 246.94, 329.63, 246.94, 196.0 };
        const double noteLength = seconds / 10.0;

        for (int k = 0; k < 10; ++k)
        {
            const double f = notes[k % 8] * (k >= 8 ? 0.5 : 1.0);
            const int start = (int) (k * noteLength * sampleRate);

            for (int i = start; i < length; ++i)
            {
                const double t = (i - start) / sampleRate;
                const double envelope = std::exp (-t * 3.0) * 0.35;

                if (envelope < 1.0e-4)
                    break;

                double v = 0.0;
                for (int h = 1; h <= 6; ++h)
                    v += std::sin (juce::MathConstants<double>::twoPi * f * h * t) / (h * h);

                phrase.addSample (0, i, (float) (v * envelope));
                phrase.addSample (1, i, (float) (v * envelope * 0.9));
            }
        }

        return phrase;
    }

    juce::AudioBuffer<float> readWav (const juce::File& file)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

        if (reader == nullptr)
            return {};

        if (reader->sampleRate != sampleRate)
            std::cout << "note: " << file.getFileName() << " is at " << reader->sampleRate
                      << " Hz; it is rendered at " << sampleRate << " Hz without conversion\n";

        juce::AudioBuffer<float> audio (2, (int) reader->lengthInSamples);
        reader->read (&audio, 0, (int) reader->lengthInSamples, 0, true, reader->numChannels > 1);
        return audio;
    }

    bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio)
    {
        file.deleteFile();
        auto stream = std::make_unique<juce::FileOutputStream> (file);

        if (! stream->openedOk())
            return false;

        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), sampleRate, 2, 24, {}, 0));

        if (writer == nullptr)
            return false;

        stream.release();
        return writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
    }

    /** The host's audio thread: calls the block processing at the host's block rate, in real time. */
    class HostThread : public juce::Thread
    {
    public:
        HostThread (juce::AudioProcessor& p, const juce::AudioBuffer<float>& inputToUse, juce::AudioBuffer<float>& outputToFill)
            : juce::Thread ("Host audio"), processor (p), input (inputToUse), output (outputToFill),
              block (2, blockSize)
        {
        }

        ~HostThread() override   { stopThread (2000); }

        /** Starts feeding the input (before that, the host plays silence). */
        void startRendering()   { rendering = true; }
        bool isFinished() const { return finished; }
        double getProgress() const   { return (double) position.load() / juce::jmax (1, output.getNumSamples()); }

        void run() override
        {
            juce::MidiBuffer midi;
            const double period = blockSize / sampleRate;
            auto next = juce::Time::getMillisecondCounterHiRes();

            while (! threadShouldExit() && ! finished)
            {
                next += period * 1000.0;
                block.clear();
                const int pos = position.load();

                if (rendering)
                    for (int c = 0; c < 2; ++c)
                        if (pos < input.getNumSamples())
                            block.copyFrom (c, 0, input, c, pos, juce::jmin (blockSize, input.getNumSamples() - pos));

                processor.processBlock (block, midi);

                if (rendering)
                {
                    const int n = juce::jmin (blockSize, output.getNumSamples() - pos);

                    for (int c = 0; c < 2; ++c)
                        output.copyFrom (c, pos, block, c, 0, n);

                    position = pos + n;
                    finished = position.load() >= output.getNumSamples();
                }

                const auto wait = next - juce::Time::getMillisecondCounterHiRes();

                if (wait > 1.0)
                    juce::Thread::sleep ((int) wait);
            }
        }

    private:
        juce::AudioProcessor& processor;
        const juce::AudioBuffer<float>& input;
        juce::AudioBuffer<float>& output;
        juce::AudioBuffer<float> block;
        std::atomic<bool> rendering { false }, finished { false };
        std::atomic<int> position { 0 };
    };

    void pumpFor (int milliseconds)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
    }

    template <typename Condition>
    bool pumpUntil (Condition&& condition, int timeoutMs)
    {
        const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() > end)
                return false;

            pumpFor (10);
        }

        return true;
    }

    int fail (const juce::String& message)
    {
        std::cout << "FAILED: " << message << std::endl;
        return 1;
    }
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    const auto option = [&] (const char* name, const juce::String& fallback)
    {
        const int i = args.indexOf (name);
        const auto value = i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
        if (i >= 0) args.removeRange (i, 2);
        return value;
    };

    const auto presetName = option ("--preset", "Rock Factory");
    const double ppm = option ("--ppm", "35").getDoubleValue();
    const double phraseSeconds = option ("--seconds", "8").getDoubleValue();
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto inputFile = args.size() > 0 ? cwd.getChildFile (args[0]) : juce::File();
    const auto outputFile = args.size() > 1 ? cwd.getChildFile (args[1]) : cwd.getChildFile ("thornvale-render.wav");

    // The simulated pedal, on a clock of its own.
    auto& platform = Platform::getInstance();
    SimulatedPedal::Options pedalOptions;
    pedalOptions.audio.ppmOffset = ppm;
    pedalOptions.audio.converterLatency = 40;
    platform.getSimulatedPedals().addPedal (pedalName, pedalOptions);

    auto processor = std::make_unique<ThornvaleAudioProcessor>();
    processor->enableAllBuses();
    processor->setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);

    std::cout << "Thornvale " << THORNVALE_VERSION_STRING << " render job, " << sampleRate << " Hz, host blocks of "
              << blockSize << "\n";

    if (! pumpUntil ([&] { return processor->getDeviceManager().findDevice (pedalName) != nullptr; }, 3000))
        return fail ("the simulated pedal was not found");

    processor->setUsbDevice (pedalName, UsbDevice::audio);
    auto* pedal = processor->getDevice();

    if (pedal == nullptr)
        return fail ("the pedal could not be taken");

    juce::AudioBuffer<float> input = inputFile.existsAsFile() ? readWav (inputFile) : makeTestPhrase (phraseSeconds);

    if (input.getNumSamples() == 0)
        return fail ("cannot read " + inputFile.getFullPathName());

    std::cout << "Pedal:        " << pedal->getName() << " (simulated, clock " << (ppm >= 0 ? "+" : "") << ppm << " ppm)\n";
    std::cout << "Input:        " << (inputFile.existsAsFile() ? inputFile.getFullPathName() : juce::String ("built-in test phrase"))
              << ", " << juce::String (input.getNumSamples() / sampleRate, 2) << " s\n";

    juce::AudioBuffer<float> rendered;
    HostThread host (*processor, input, rendered);
    int latencyBefore = 0;

    {
        // Silence while the pedal connects and its stream locks.
        rendered.setSize (2, 1);
        host.startThread (juce::Thread::Priority::highest);

        if (! pumpUntil ([&] { return pedal->getMode() == UsbDevice::audio
                                      && pedal->getAudioStream().getStreamState() == AudioIODeviceSource::streaming; }, 5000))
            return fail ("the pedal's audio stream did not start");

        latencyBefore = processor->getReportedLatency();

        // Calibration, as the device options' button does it: the pedal answers, the plug-in measures.
        const juce::uint8 start[] = { 1 };
        const int extraBefore = pedal->getSettings().extraLatency;
        pedal->sendSysExMessage (PedalProtocol::systemGroup, PedalProtocol::calibrate, start, 1);

        if (! pumpUntil ([&] { return pedal->getSettingsTree().hasProperty ("extraLatency")
                                      && (int) pedal->getSettings().extraLatency != extraBefore; }, 8000)
             && ! pedal->getSettingsTree().hasProperty ("extraLatency"))
            return fail ("the latency calibration did not finish");

        pumpUntil ([&] { return pedal->getAudioStream().getStreamState() == AudioIODeviceSource::streaming; }, 3000);
        host.stopThread (2000);
    }

    std::cout << "Calibration:  round trip beyond the rings " << (int) pedal->getSettings().extraLatency
              << " samples (\"extraLatency\")\n";

    // A factory preset, by name.
    for (int p = 0; p < processor->getNumPrograms(); ++p)
        if (processor->getProgramName (p) == presetName)
            processor->setCurrentProgram (p);

    std::cout << "Preset:       " << processor->getPresetName() << " (program " << processor->getCurrentProgram() << ")\n";
    pumpFor (300);   // the preset reaches the pedal, the crossfades settle

    const int latency = processor->getReportedLatency();
    const int restartsBeforeRender = pedal->getAudioStream().getRestartCount();
    rendered.setSize (2, input.getNumSamples() + latency + blockSize);
    rendered.clear();
    HostThread renderer (*processor, input, rendered);
    renderer.startRendering();
    renderer.startThread (juce::Thread::Priority::highest);

    int shown = -1;

    while (! renderer.isFinished())
    {
        pumpFor (50);
        const int percent = (int) (renderer.getProgress() * 100.0);

        if (percent / 5 != shown)
        {
            shown = percent / 5;
            std::cout << "\rRendering    [" << juce::String::repeatedString ("#", shown).paddedRight ('.', 20) << "] "
                      << percent << " %" << std::flush;
        }
    }

    renderer.stopThread (2000);
    std::cout << "\rRendering    [" << juce::String::repeatedString ("#", 20) << "] 100 %\n";

    // Like a DAW's latency compensation: drop the reported latency from the front.
    juce::AudioBuffer<float> aligned (2, input.getNumSamples());
    for (int c = 0; c < 2; ++c)
        aligned.copyFrom (c, 0, rendered, c, latency, input.getNumSamples());

    auto& stream = pedal->getAudioStream();
    std::cout << "Latency:      " << latency << " samples reported to the host (" << latencyBefore
              << " before calibration), " << juce::String (latency * 1000.0 / sampleRate, 1) << " ms\n";
    std::cout << "Drift:        correction " << juce::String (stream.getOutControl().correction * 1.0e6, 1) << " ppm to the pedal, "
              << juce::String (stream.getInControl().correction * 1.0e6, 1) << " ppm back (pedal clock "
              << (ppm >= 0 ? "+" : "") << ppm << " ppm)\n";
    std::cout << "Restarts:     " << stream.getRestartCount() - restartsBeforeRender << " while rendering ("
              << restartsBeforeRender << " before rendering, while the pedal connected and calibrated)\n";
    std::cout << "Output peak:  " << juce::String (juce::Decibels::gainToDecibels (aligned.getMagnitude (0, aligned.getNumSamples())), 1)
              << " dBFS\n";

    if (! writeWav (outputFile, aligned))
        return fail ("cannot write " + outputFile.getFullPathName());

    std::cout << "Wrote:        " << outputFile.getFullPathName() << "\n";

    processor->releaseResources();
    processor.reset();
    platform.getSimulatedPedals().removeAllPedals();
    return 0;
}
