#pragma once

#include "Utilities/ConstrainedCachedValue.h"

/** Maps a value onto one of the allowed values of Holder::allowedValues (the first when it is
    not one of them). */
template <typename Holder>
struct AllowedValueConstrainer
{
    static int constrain (const int& v)
    {
        for (auto allowed : Holder::allowedValues)
            if (allowed == v)
                return v;

        return Holder::allowedValues[0];
    }

    /** The display text of every allowed value, in list order. */
    static juce::StringArray options()
    {
        juce::StringArray texts;

        for (auto v : Holder::allowedValues)
            texts.add (Holder::textFor (v));

        return texts;
    }
};

/** Clamps a value into [low, high]. */
template <typename Type, Type low, Type high>
struct RangeConstrainer
{
    static Type constrain (const Type& v)   { return juce::jlimit (low, high, v); }
};

/** The pedal-side block sizes; 0 is "Same As Host". */
struct BlockSizeConstrainer
{
    static constexpr int allowedValues[] = { 0, 32, 64, 96, 128, 192, 256, 512, 1024, 2048 };
    static juce::String textFor (int v)   { return v == 0 ? juce::String ("Same As Host") : juce::String (v); }
};

/** The ring buffer sizes: 0 "Small", 1 "Medium", 2 "Large". */
struct BufferSizeConstrainer
{
    static constexpr int allowedValues[] = { 0, 1, 2 };
    static juce::String textFor (int v)   { return v == 1 ? "Medium" : (v == 2 ? "Large" : "Small"); }
};

/** The four settings of one pedal, as a constrained view of a "DEVICE" value tree. Several views
    may share one tree (the pedal's own and a dialog's); each notifies its own listeners of
    every change, wherever it was made. */
class DeviceSettings
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void settingsChanged() = 0;
    };

    explicit DeviceSettings (juce::ValueTree& tree);
    ~DeviceSettings();

    void addListener (Listener* listener)      { listeners.addIfNotAlreadyThere (listener); }
    void removeListener (Listener* listener)   { listeners.removeAllInstancesOf (listener); }

    ConstrainedCachedValue<int> blockSize;
    ConstrainedCachedValue<int> outAdjust;
    ConstrainedCachedValue<int> inAdjust;
    ConstrainedCachedValue<int> extraLatency;

private:
    void notifyListeners();

    juce::Array<Listener*> listeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DeviceSettings)
};
