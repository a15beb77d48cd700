#include "AssertionTolerance.h"

namespace
{
    juce::CriticalSection lock;
    juce::StringArray tolerated;
}

AssertionTolerance::AssertionTolerance (const char* fileName)
{
    const juce::ScopedLock sl (lock);
    tolerated.add (fileName);
}

AssertionTolerance::~AssertionTolerance()
{
    const juce::ScopedLock sl (lock);
    tolerated.remove (tolerated.size() - 1);
}

bool AssertionTolerance::isTolerated (const juce::String& message)
{
    const juce::ScopedLock sl (lock);

    for (auto& file : tolerated)
        if (message.contains (file))
            return true;

    return false;
}
