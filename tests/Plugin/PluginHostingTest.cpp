#include "MessageThreadTest.h"
#include "PluginProbe.h"
#include "AssertionTolerance.h"

// Loads the built plug-in through JUCE's own hosting, the way a DAW does, and checks what a
// host sees. This catches wrapper and registration mistakes that the unit tests cannot.

struct HostedFormat
{
    PluginProbe::Format format;
    const char* bundle;
    const char* label;
};

class PluginHostingTest : public MessageThreadTest,
                          public ::testing::WithParamInterface<HostedFormat> {};

TEST_P (PluginHostingTest, AHostSeesNameBusesAndTheSixParameters)
{
    // Inside a Linux host the plug-in's wrapper reports a latency change from the plug-in's own
    // message thread, which JUCE's VST3 host notes with an assertion.
    const AssertionTolerance hostSide ("juce_VST3PluginFormat.cpp");
    juce::String error;
    auto instance = PluginProbe::load (GetParam().format, juce::File (GetParam().bundle), 48000.0, 256, error);
    ASSERT_NE (instance, nullptr) << error;

    EXPECT_EQ (instance->getName(), "Thornvale");
    EXPECT_FALSE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());

    ASSERT_EQ (instance->getBusCount (true), 1);
    ASSERT_EQ (instance->getBusCount (false), 1);
    EXPECT_EQ (instance->getBus (true, 0)->getLastEnabledLayout(), juce::AudioChannelSet::stereo());
    EXPECT_EQ (instance->getBus (false, 0)->getLastEnabledLayout(), juce::AudioChannelSet::stereo());

    struct Expected { const char* name; const char* low; const char* high; bool isSwitch; };
    const Expected expected[] = {
        { "Volume", "0", "127", false }, { "Tone", "0", "127", false }, { "Sustain", "0", "127", false },
        { "Tone Bypass", "Off", "On", true }, { "Tone Lattice", "Off", "On", true }, { "Bypass FSW", "Off", "On", true } };

    const auto parameters = instance->getParameters();
    const bool vst3 = GetParam().format == PluginProbe::Format::vst3;

    for (int i = 0; i < 6; ++i)
    {
        SCOPED_TRACE (expected[i].name);
        juce::AudioProcessorParameter* p = nullptr;

        for (auto* candidate : parameters)
            if (candidate->getName (64) == expected[i].name)
                p = candidate;

        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getText (0.0f, 16), expected[i].low);
        EXPECT_EQ (p->getText (1.0f, 16), expected[i].high);

        if (expected[i].isSwitch)
            EXPECT_EQ (p->getNumSteps(), 2);

        if (vst3)
            EXPECT_EQ (p->getParameterIndex(), i) << "VST3 hosts keep the plug-in's order";
    }

    // Besides ours, a host sees only the wrapper's own parameters (host bypass, program list),
    // never one of the seven that stay inside the plug-in.
    EXPECT_LE (parameters.size(), 8);
    for (auto* p : parameters)
        for (auto* hidden : { "ADC", "DAC", "Preset FSW" })
            EXPECT_FALSE (p->getName (64).contains (hidden)) << p->getName (64);

    EXPECT_GT (PluginProbe::runAudio (*instance, 48000.0, 256, 8), 0.1f) << "audio passes while no pedal is in use";
}

INSTANTIATE_TEST_SUITE_P (Formats, PluginHostingTest, ::testing::Values (
    HostedFormat { PluginProbe::Format::vst3, THORNVALE_VST3_BUNDLE, "VST3" },
    HostedFormat { PluginProbe::Format::lv2,  THORNVALE_LV2_BUNDLE,  "LV2" }),
    [] (const auto& info) { return std::string (info.param.label); });
