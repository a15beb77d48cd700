#include "PluginProbe.h"

namespace PluginProbe
{
std::unique_ptr<juce::AudioPluginInstance> load (Format format, const juce::File& bundle,
                                                double sampleRate, int blockSize, juce::String& error)
{
    std::unique_ptr<juce::AudioPluginFormat> pluginFormat;
    juce::String identifier;

    if (format == Format::vst3)
    {
        pluginFormat = std::make_unique<juce::VST3PluginFormat>();
        identifier = bundle.getFullPathName();
    }
    else
    {
        pluginFormat = std::make_unique<juce::LV2PluginFormat>();
        // LV2 plug-ins are named by URI: load the bundle's folder, then take what it holds.
        const auto found = pluginFormat->searchPathsForPlugins (juce::FileSearchPath (bundle.getParentDirectory().getFullPathName()),
                                                                false, false);
        for (auto& uri : found)
        {
            juce::OwnedArray<juce::PluginDescription> candidates;
            pluginFormat->findAllTypesForFile (candidates, uri);

            for (auto* c : candidates)
                if (c->name == bundle.getFileNameWithoutExtension())
                    identifier = uri;
        }
    }

    juce::OwnedArray<juce::PluginDescription> descriptions;

    if (identifier.isNotEmpty())
        pluginFormat->findAllTypesForFile (descriptions, identifier);

    if (descriptions.isEmpty())
    {
        error = "no plug-in found in " + bundle.getFullPathName();
        return nullptr;
    }

    auto instance = pluginFormat->createInstanceFromDescription (*descriptions.getFirst(), sampleRate, blockSize, error);

    if (instance == nullptr && error.isEmpty())
        error = "the plug-in could not be instantiated";

    return instance;
}

juce::String describe (juce::AudioPluginInstance& instance)
{
    juce::String text;
    const auto description = instance.getPluginDescription();

    text << "  name:        " << instance.getName() << "\n"
         << "  format:      " << description.pluginFormatName << "\n"
         << "  maker:       " << description.manufacturerName << "  version " << description.version << "\n"
         << "  identifier:  " << description.fileOrIdentifier << "\n";

    for (const bool isInput : { true, false })
    {
        for (int i = 0; i < instance.getBusCount (isInput); ++i)
        {
            const auto* bus = instance.getBus (isInput, i);
            text << "  " << (isInput ? "input bus:   " : "output bus:  ") << bus->getName()
                 << " (" << bus->getLastEnabledLayout().getDescription() << ", "
                 << bus->getLastEnabledLayout().size() << " channels)\n";
        }
    }

    text << "  MIDI:        " << (instance.acceptsMidi() ? "in " : "no input ") << "/ "
         << (instance.producesMidi() ? "out" : "no output") << "\n"
         << "  latency:     " << instance.getLatencySamples() << " samples\n"
         << "  programs:    " << instance.getNumPrograms() << "\n"
         << "  parameters:  " << instance.getParameters().size() << "\n";

    for (auto* p : instance.getParameters())
    {
        juce::String id;

        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (p))
            id = hosted->getParameterID();

        text << "    " << juce::String (p->getParameterIndex()).paddedLeft (' ', 2) << "  "
             << p->getName (64).paddedRight (' ', 16) << " id " << id.paddedRight (' ', 11)
             << " steps " << juce::String (p->getNumSteps()).paddedLeft (' ', 3)
             << "  " << p->getText (0.0f, 16) << " .. " << p->getText (1.0f, 16)
             << "  default " << p->getText (p->getDefaultValue(), 16) << "\n";
    }

    return text;
}

float runAudio (juce::AudioPluginInstance& instance, double sampleRate, int blockSize, int numBlocks)
{
    instance.enableAllBuses();
    instance.prepareToPlay (sampleRate, blockSize);

    const int channels = juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer (channels, blockSize);
    juce::MidiBuffer midi;
    float peak = 0.0f;
    double phase = 0.0;

    for (int b = 0; b < numBlocks; ++b)
    {
        for (int i = 0; i < blockSize; ++i)
        {
            const auto v = (float) (0.5 * std::sin (phase));
            phase += juce::MathConstants<double>::twoPi * 440.0 / sampleRate;

            for (int c = 0; c < channels; ++c)
                buffer.setSample (c, i, v);
        }

        instance.processBlock (buffer, midi);
        peak = juce::jmax (peak, buffer.getMagnitude (0, blockSize));
    }

    instance.releaseResources();
    return peak;
}
}
