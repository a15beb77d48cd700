#include "MessageThreadTest.h"
#include "PluginProbe.h"
#include "AssertionTolerance.h"

// The path a DAW takes: the built VST3, a simulated pedal named in the plug-in's settings file, a
// restored project state that names that pedal, and a few seconds of audio in real time.

namespace
{
    /** The plug-in's own state blob as JUCE's VST3 host stores it: the component's chunk,
        base64, inside the host's XML. */
    juce::MemoryBlock asHostedVst3State (const juce::MemoryBlock& pluginState)
    {
        juce::XmlElement state ("VST3PluginState");
        state.createNewChildElement ("IComponent")->addTextElement (pluginState.toBase64Encoding());
        juce::MemoryBlock blob;
        juce::AudioProcessor::copyXmlToBinary (state, blob);
        return blob;
    }
}

class HostedPedalTest : public MessageThreadTest {};

TEST_F (HostedPedalTest, ARestoredProjectTakesItsPedalAndTheAudioGoesThroughIt)
{
    const AssertionTolerance hostSide ("juce_VST3PluginFormat.cpp");

    const auto folder = home.getSettingsFolder();
    ASSERT_TRUE (folder.createDirectory());
    {
        juce::PropertiesFile settings (folder.getChildFile ("settings.xml"), {});
        settings.setValue ("simulatedPedals", "TVL-5EED");
        settings.setValue ("checkForUpdates", false);
        settings.save();
    }

    juce::String error;
    auto instance = PluginProbe::load (PluginProbe::Format::vst3, juce::File (THORNVALE_VST3_BUNDLE), 48000.0, 512, error);
    ASSERT_NE (instance, nullptr) << error;

    juce::MemoryBlock pluginState;
    juce::AudioProcessor::copyXmlToBinary (*juce::parseXML (juce::String (
        "<Thornvale version=\"1.0.70\"><PARAM id=\"bypass\" value=\"1\"/>"
        "<PRESET name=\"Default\" program=\"0\" modified=\"0\"/>"
        "<DEVICE name=\"TVL-5EED\"/></Thornvale>")), pluginState);
    const auto hosted = asHostedVst3State (pluginState);
    instance->setStateInformation (hosted.getData(), (int) hosted.getSize());

    instance->enableAllBuses();
    instance->prepareToPlay (48000.0, 512);

    juce::AudioBuffer<float> block (2, 512);
    juce::MidiBuffer midi;
    std::vector<float> input, output;
    const auto start = juce::Time::getMillisecondCounterHiRes();

    for (int b = 0; b < 48000 * 5 / 512; ++b)
    {
        for (int i = 0; i < 512; ++i)
        {
            const auto v = (float) (0.4 * std::sin (0.05 * (double) (b * 512 + i)));
            block.setSample (0, i, v);
            block.setSample (1, i, v);
            input.push_back (v);
        }

        instance->processBlock (block, midi);
        output.insert (output.end(), block.getReadPointer (0), block.getReadPointer (0) + 512);

        // Real time: the pedal's device runs on its own clock.
        const auto due = start + (b + 1) * 512 * 1000.0 / 48000.0;
        pumpUntil ([&] { return juce::Time::getMillisecondCounterHiRes() >= due; }, 50);
    }

    const int latency = instance->getLatencySamples();
    EXPECT_EQ (latency, 2631) << "512 host and device blocks, default buffers, not calibrated";

    // In the last second the output is the pedal's sound: not the dry input delayed by the
    // latency (what the plug-in gives without a pedal), and not silence.
    double differs = 0.0, level = 0.0;
    for (size_t k = output.size() - 48000; k < output.size(); ++k)
    {
        differs += std::abs (output[k] - input[k - (size_t) latency]);
        level += std::abs (output[k]);
    }

    EXPECT_GT (level / 48000.0, 0.01) << "audio comes back from the pedal";
    EXPECT_GT (differs / 48000.0, 0.01) << "it is the pedal's sound, not the dry path";

    instance->releaseResources();
}
