#pragma once

#include <juce_core/juce_core.h>

/** While one of these exists, JUCE assertions raised in the named source file (of the framework)
    do not fail the running test. For assertions of the framework's own that a test cannot
    avoid, such as host-side checks that a hosted plug-in's wrapper trips. */
class AssertionTolerance
{
public:
    explicit AssertionTolerance (const char* fileName);
    ~AssertionTolerance();

    /** True when a logged assertion message names a tolerated file. */
    static bool isTolerated (const juce::String& message);

private:
    JUCE_DECLARE_NON_COPYABLE (AssertionTolerance)
};
