#include "DeviceSettings.h"
#include "Utilities/AudioValueTreeState.h"

namespace
{
    juce::ValueTree& checkedTree (juce::ValueTree& tree)
    {
        jassert (tree.hasType (ID::DEVICE));
        return tree;
    }
}

DeviceSettings::DeviceSettings (juce::ValueTree& tree)
    : blockSize (checkedTree (tree), "blockSize", nullptr, 0, &AllowedValueConstrainer<BlockSizeConstrainer>::constrain),
      outAdjust (tree, "outAdjust", nullptr, 1, &AllowedValueConstrainer<BufferSizeConstrainer>::constrain),
      inAdjust (tree, "inAdjust", nullptr, 0, &AllowedValueConstrainer<BufferSizeConstrainer>::constrain),
      extraLatency (tree, "extraLatency", nullptr, 0, &RangeConstrainer<int, 0, 9999>::constrain)
{
    for (auto* value : { &blockSize, &outAdjust, &inAdjust, &extraLatency })
        value->onChange = [this] { notifyListeners(); };
}

DeviceSettings::~DeviceSettings()
{
    for (auto* value : { &blockSize, &outAdjust, &inAdjust, &extraLatency })
        value->onChange = nullptr;
}

void DeviceSettings::notifyListeners()
{
    for (int i = listeners.size(); --i >= 0;)
        listeners.getUnchecked (i)->settingsChanged();
}
