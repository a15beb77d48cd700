// Cost and quality of the audio bridge, printed as figures.
//
//   thornvale_bench_audio            all sections
//   thornvale_bench_audio cost       one section: cost, resampler, quality
//
// Cost: nanoseconds per sample of one host block plus one device callback of the stream while
// it streams at 48 kHz, against the floor of a plain two-ring copy of the same audio (no
// resampling, no state), as a ratio measured in the same run. Resampler: the resampling read
// alone against zita-resampler's VResampler at the same ratio. Quality: the level of what is
// left after removing the best-fitting tone (THD+N) from a sine sent through the resampling
// ring at ratios 1 - 1e-4 and 1 + 1e-4, beside the same for VResampler.

#include <juce_audio_devices/juce_audio_devices.h>
#include <chrono>
#include <cstdio>
#include "Devices/AudioIODeviceSource.h"
#include "Simulator/SimulatedAudioIODevice.h"
#include "Utilities/ResamplingCircularAudioBuffer.h"

#if THORNVALE_HAVE_ZITA
 #include <zita-resampler/vresampler.h>
#endif

namespace
{
    constexpr double sampleRate = 48000.0;

    template <typename Work>
    double nanosecondsPerCall (Work&& work, int calls)
    {
        // The best of a few rounds: the least disturbed by the other work on the machine.
        double best = 1.0e30;

        for (int round = 0; round < 7; ++round)
        {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < calls; ++i)
                work();
            const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
            best = std::min (best, elapsed.count() / calls);
        }

        return best;
    }

    void fillNoise (juce::AudioBuffer<float>& b)
    {
        juce::Random random (3);
        for (int ch = 0; ch < b.getNumChannels(); ++ch)
            for (int i = 0; i < b.getNumSamples(); ++i)
                b.setSample (ch, i, random.nextFloat() - 0.5f);
    }

    struct TickClock : AudioIODeviceSource::Clock
    {
        juce::int64 getTicks() noexcept override            { return now; }
        juce::int64 getTicksPerSecond() noexcept override   { return (juce::int64) sampleRate; }
        juce::int64 now = 0;
    };

    //==============================================================================
    void cost()
    {
        std::printf ("\n== Cost: host block + device callback, 2 channels, 48 kHz (ns per sample)\n");
        std::printf ("%8s %14s %14s %8s\n", "block", "stream", "plain copy", "ratio");

        for (const int block : { 64, 512 })
        {
            juce::AudioBuffer<float> host (2, block), deviceIn (2, block), deviceOut (2, block);
            fillNoise (host);
            fillNoise (deviceIn);

            // The stream, streaming with a correction in force on both rings.
            TickClock clock;
            AudioIODeviceSource stream (AudioIODeviceSource::Supervision::manual);
            stream.setClock (&clock);
            SimulatedAudioIODevice::Options options;
            options.pacing = SimulatedAudioIODevice::Pacing::external;
            stream.setAudioIODevice (new SimulatedAudioIODevice ("TVL-BE7C", "bench", options));
            stream.prepareToPlay (block, sampleRate);

            int calls = 0;
            auto streamPair = [&]
            {
                clock.now += block;
                stream.audioDeviceIOCallbackWithContext (deviceIn.getArrayOfReadPointers(), 2, deviceOut.getArrayOfWritePointers(), 2, block, {});
                stream.getNextAudioBlock (juce::AudioSourceChannelInfo (&host, 0, block));

                if (++calls % 2000 == 0)   // keep the fills centred as the fill control would
                    stream.timerCallback (AudioIODeviceSource::fillControlTimerId);
            };

            for (int i = 0; i < 100; ++i)
                streamPair();

            if (stream.getStreamState() != AudioIODeviceSource::streaming)
                std::printf ("(the stream is not streaming: %d)\n", stream.getStreamState());

            // The floor: the same audio through two plain rings.
            CircularAudioBuffer toDevice (2, 32768), fromDevice (2, 32768);
            toDevice.writeBuffer (nullptr, 0, 2 * block, 0, true);
            fromDevice.writeBuffer (nullptr, 0, 2 * block, 0, true);
            auto plainPair = [&]
            {
                fromDevice.writeBuffer (deviceIn.getArrayOfReadPointers(), 2, block, 0, true);
                toDevice.readBuffer (deviceOut.getArrayOfWritePointers(), 2, block, 0, true);
                toDevice.writeBuffer (host.getArrayOfReadPointers(), 2, block, 0, true);
                fromDevice.readBuffer (host.getArrayOfWritePointers(), 2, block, 0, true);
            };

            const int pairs = 4000000 / block;
            const double streamNs = nanosecondsPerCall (streamPair, pairs) / block;
            const double plainNs = nanosecondsPerCall (plainPair, pairs) / block;
            std::printf ("%8d %14.2f %14.2f %8.2f\n", block, streamNs, plainNs, streamNs / plainNs);

            stream.setClock (nullptr);
        }
    }

    //==============================================================================
    void resampler()
    {
        constexpr int block = 512;
        constexpr double ratio = 1.0001;   // input samples per output sample

        std::printf ("\n== Resampling read alone: 2 channels, blocks of %d, ratio %.4f (ns per output sample)\n", block, ratio);

        juce::AudioBuffer<float> in (2, 2 * block), out (2, block);
        fillNoise (in);

        ResamplingCircularAudioBuffer ring (2, 32768);
        ring.setTargetRatio (ratio);
        auto ringRead = [&]
        {
            if (ring.numReadable() < 2 * block)
                ring.writeBuffer (in.getArrayOfReadPointers(), 2, 2 * block, 0, true);
            ring.readBuffer (out.getArrayOfWritePointers(), 2, block, 0, true);
        };
        ringRead();

        // The refill is part of the loop: measure it alone and take it out.
        CircularAudioBuffer refillOnly (2, 32768);
        auto refill = [&]
        {
            refillOnly.writeBuffer (in.getArrayOfReadPointers(), 2, block, 0, true);
            refillOnly.readBuffer (out.getArrayOfWritePointers(), 2, block, 0, true);
        };

        const int calls = 20000;
        const double ringNs = (nanosecondsPerCall (ringRead, calls) - 0.5 * nanosecondsPerCall (refill, calls)) / block;
        std::printf ("%-40s %10.2f\n", "resampling ring (5-point Lagrange)", ringNs);

       #if THORNVALE_HAVE_ZITA
        for (const unsigned hlen : { 16u, 32u })
        {
            VResampler zita;
            zita.setup (1.0 / ratio, 2, hlen);
            std::vector<float> inter (2 * 2 * block), outInter (2 * block);
            for (int i = 0; i < 2 * block; ++i)
            {
                inter[(size_t) (2 * i)] = in.getSample (0, i);
                inter[(size_t) (2 * i + 1)] = in.getSample (1, i);
            }

            auto zitaRead = [&]
            {
                zita.inp_count = 2 * block;
                zita.inp_data = inter.data();
                zita.out_count = block;
                zita.out_data = outInter.data();
                zita.process();
            };

            const double zitaNs = nanosecondsPerCall (zitaRead, calls) / block;
            std::printf ("zita-resampler VResampler, hlen %-14u %10.2f   (ring / zita %.2f)\n", hlen, zitaNs, ringNs / zitaNs);
        }
       #else
        std::printf ("zita-resampler: not available in this build\n");
       #endif
    }

    //==============================================================================
    /** Level in dB (against the tone) of what is left after removing the best-fitting tone of
        the given frequency (cycles per sample), with its DC, from the signal. */
    double residualDecibels (const float* y, int n, double cyclesPerSample)
    {
        // Least squares on sin, cos and 1.
        double a[3][3] = {}, b[3] = {};
        for (int k = 0; k < n; ++k)
        {
            const double ph = juce::MathConstants<double>::twoPi * cyclesPerSample * k;
            const double v[3] = { std::sin (ph), std::cos (ph), 1.0 };
            for (int i = 0; i < 3; ++i)
            {
                b[i] += v[i] * y[k];
                for (int j = 0; j < 3; ++j)
                    a[i][j] += v[i] * v[j];
            }
        }

        // Gaussian elimination on the 3 × 3 system.
        for (int i = 0; i < 3; ++i)
            for (int r = i + 1; r < 3; ++r)
            {
                const double f = a[r][i] / a[i][i];
                for (int c = i; c < 3; ++c)
                    a[r][c] -= f * a[i][c];
                b[r] -= f * b[i];
            }
        double x[3];
        for (int i = 2; i >= 0; --i)
        {
            x[i] = b[i];
            for (int c = i + 1; c < 3; ++c)
                x[i] -= a[i][c] * x[c];
            x[i] /= a[i][i];
        }

        double residual = 0.0, tone = 0.0;
        for (int k = 0; k < n; ++k)
        {
            const double ph = juce::MathConstants<double>::twoPi * cyclesPerSample * k;
            const double fit = x[0] * std::sin (ph) + x[1] * std::cos (ph);
            residual += juce::square (y[k] - fit - x[2]);
            tone += fit * fit;
        }

        return 10.0 * std::log10 (residual / tone);
    }

    void quality()
    {
        constexpr int length = 1 << 16;
        constexpr int skip = 256;

        std::printf ("\n== Quality: THD+N of a 0.5 sine through the resampler at 48 kHz (dB, lower is better)\n");
        std::printf ("%8s %10s %14s", "tone", "ratio", "ring");
       #if THORNVALE_HAVE_ZITA
        std::printf (" %14s %14s", "zita hlen 16", "zita hlen 32");
       #endif
        std::printf ("\n");

        for (const double hz : { 1000.0, 5000.0, 10000.0, 15000.0 })
        {
            for (const double ratio : { 1.0 - 1.0e-4, 1.0 + 1.0e-4 })
            {
                const double step = hz / sampleRate;
                std::vector<float> input ((size_t) (length * 1.01 + 64));
                for (size_t i = 0; i < input.size(); ++i)
                    input[i] = (float) (0.5 * std::sin (juce::MathConstants<double>::twoPi * step * (double) i));

                // The ring: write and read in blocks of 512 as the stream does.
                ResamplingCircularAudioBuffer ring (1, 32768);
                ring.setTargetRatio (ratio);
                std::vector<float> output ((size_t) length);
                size_t written = 0;
                for (int pos = 0; pos < length; pos += 512)
                {
                    while (ring.numReadable() < 2048)
                    {
                        const float* src = input.data() + written;
                        ring.writeBuffer (&src, 1, 512, 0, true);
                        written += 512;
                    }
                    float* dst = output.data() + pos;
                    ring.readBuffer (&dst, 1, 512, 0, true);
                }

                // Output sample k is the input at k × ratio: the tone's frequency in the output
                // is step × ratio cycles per sample.
                const double ringDb = residualDecibels (output.data() + skip, length - skip, step * ratio);
                std::printf ("%8.0f %10.4f %14.1f", hz, ratio, ringDb);

               #if THORNVALE_HAVE_ZITA
                for (const unsigned hlen : { 16u, 32u })
                {
                    VResampler zita;
                    zita.setup (1.0 / ratio, 1, hlen);
                    std::vector<float> zout ((size_t) length);
                    zita.inp_count = (unsigned) input.size();
                    zita.inp_data = input.data();
                    zita.out_count = (unsigned) length;
                    zita.out_data = zout.data();
                    zita.process();
                    std::printf (" %14.1f", residualDecibels (zout.data() + skip + hlen, length - skip - (int) hlen, step * ratio));
                }
               #endif
                std::printf ("\n");
            }
        }
    }
}

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const juce::String only = argc > 1 ? juce::String (argv[1]) : juce::String();

    if (only.isEmpty() || only == "cost")       cost();
    if (only.isEmpty() || only == "resampler")  resampler();
    if (only.isEmpty() || only == "quality")    quality();

    return 0;
}
