#include <gtest/gtest.h>
#include "Settings/DeviceSettings.h"
#include "Utilities/AudioValueTreeState.h"

namespace
{
    struct Counter : DeviceSettings::Listener
    {
        void settingsChanged() override   { ++count; }
        int count = 0;
    };
}

TEST (DeviceSettings, DefaultsLeaveTheTreeEmpty)
{
    juce::ValueTree tree (ID::DEVICE);
    DeviceSettings s (tree);

    EXPECT_EQ ((int) s.blockSize, 0);
    EXPECT_EQ ((int) s.outAdjust, 1);
    EXPECT_EQ ((int) s.inAdjust, 0);
    EXPECT_EQ ((int) s.extraLatency, 0);
    EXPECT_EQ (tree.getNumProperties(), 0);
}

TEST (DeviceSettings, ValuesAreConstrained)
{
    struct Case { const char* property; int written; int stored; };
    const Case cases[] = {
        { "blockSize", 100, 0 }, { "blockSize", 192, 192 }, { "blockSize", 2048, 2048 }, { "blockSize", 4096, 0 },
        { "outAdjust", 2, 2 }, { "outAdjust", 7, 0 }, { "inAdjust", 3, 0 }, { "inAdjust", -1, 0 },
        { "extraLatency", 12000, 9999 }, { "extraLatency", -5, 0 }, { "extraLatency", 37, 37 } };

    for (auto& c : cases)
    {
        juce::ValueTree tree (ID::DEVICE);
        DeviceSettings s (tree);
        auto& value = juce::String (c.property) == "blockSize" ? s.blockSize
                    : juce::String (c.property) == "outAdjust" ? s.outAdjust
                    : juce::String (c.property) == "inAdjust" ? s.inAdjust : s.extraLatency;

        value.setValue (c.written, nullptr);
        EXPECT_EQ ((int) value, c.stored) << c.property << " " << c.written;
        EXPECT_EQ ((int) tree.getProperty (c.property), c.stored);
    }
}

TEST (DeviceSettings, StoredValuesAreReadConstrainedButNotRewritten)
{
    juce::ValueTree tree (ID::DEVICE);
    tree.setProperty ("blockSize", 100, nullptr);
    DeviceSettings s (tree);

    EXPECT_EQ ((int) s.blockSize, 0);
    EXPECT_EQ ((int) tree.getProperty ("blockSize"), 100);
}

TEST (DeviceSettings, EveryViewOfATreeHearsEveryChangeOnce)
{
    juce::ValueTree tree (ID::DEVICE);
    DeviceSettings pedal (tree), dialog (tree);
    Counter pedalListener, dialogListener;
    pedal.addListener (&pedalListener);
    dialog.addListener (&dialogListener);

    dialog.outAdjust.setValue (2, nullptr);
    EXPECT_EQ ((int) pedal.outAdjust, 2);
    EXPECT_EQ (pedalListener.count, 1);
    EXPECT_EQ (dialogListener.count, 1);

    dialog.outAdjust.setValue (2, nullptr);   // the same value again: no write, no news
    EXPECT_EQ (pedalListener.count, 1);
    EXPECT_EQ (dialogListener.count, 1);

    tree.removeProperty ("outAdjust", nullptr);
    EXPECT_EQ ((int) pedal.outAdjust, 1) << "back to the default";
    EXPECT_EQ (pedalListener.count, 2);
    EXPECT_EQ (dialogListener.count, 2);

    pedal.blockSize.setValue (0, nullptr);    // the default, but written for the first time
    EXPECT_TRUE (tree.hasProperty ("blockSize"));
    EXPECT_EQ (pedalListener.count, 3);
}

TEST (DeviceSettings, DisplayTexts)
{
    EXPECT_EQ (AllowedValueConstrainer<BufferSizeConstrainer>::options().joinIntoString (","), "Small,Medium,Large");
    EXPECT_EQ (AllowedValueConstrainer<BlockSizeConstrainer>::options()[0], "Same As Host");
}
