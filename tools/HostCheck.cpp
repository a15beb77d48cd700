// Loads the installed Thornvale plug-ins the way a host does and prints what a host sees.
//
//   thornvale_host_check [--vst3 PATH] [--lv2 PATH]
//
// With no arguments it looks in the user's plug-in folders (~/.vst3, ~/.lv2).

#include <juce_events/juce_events.h>
#include "PluginProbe.h"

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    const auto argAfter = [&] (const char* flag, juce::File fallback)
    {
        const int index = args.indexOf (flag);
        return index >= 0 && index + 1 < args.size() ? juce::File::getCurrentWorkingDirectory().getChildFile (args[index + 1])
                                                      : fallback;
    };

    const std::pair<PluginProbe::Format, juce::File> bundles[] = {
        { PluginProbe::Format::vst3, argAfter ("--vst3", home.getChildFile (".vst3/Thornvale.vst3")) },
        { PluginProbe::Format::lv2,  argAfter ("--lv2",  home.getChildFile (".lv2/Thornvale.lv2")) },
    };

    int failures = 0;
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 256;

    for (auto& [format, bundle] : bundles)
    {
        std::cout << (format == PluginProbe::Format::vst3 ? "VST3" : "LV2") << " from "
                  << bundle.getFullPathName() << "\n";

        juce::String error;
        auto instance = PluginProbe::load (format, bundle, sampleRate, blockSize, error);

        if (instance == nullptr)
        {
            std::cout << "  FAILED: " << error << "\n\n";
            ++failures;
            continue;
        }

        std::cout << PluginProbe::describe (*instance);
        const auto peak = PluginProbe::runAudio (*instance, sampleRate, blockSize, 50);
        std::cout << "  audio:       50 blocks of " << blockSize << " processed, output peak "
                  << juce::String (peak, 3) << "\n\n";
    }

    std::cout << (failures == 0 ? "Both plug-ins load." : "Some plug-ins did not load.") << std::endl;
    return failures == 0 ? 0 : 1;
}
