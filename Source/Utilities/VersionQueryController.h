#pragma once

#include <juce_core/juce_core.h>

/** The online check for newer plug-in and firmware versions. The query itself is added on top
    of this interface; launching it does nothing yet. */
class VersionQueryController
{
public:
    VersionQueryController() = default;
    virtual ~VersionQueryController() = default;

    virtual void launchThread()   { launched = true; }
    bool wasLaunched() const noexcept   { return launched; }

private:
    bool launched = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VersionQueryController)
};
