#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include "TemporaryHome.h"
#include "AssertionTolerance.h"

namespace
{
    /** Fails the running test on every JUCE assertion (JUCE logs them in debug builds). */
    class AssertionLogger : public juce::Logger
    {
        void logMessage (const juce::String& message) override
        {
            if (message.contains ("JUCE Assertion failure") && ! AssertionTolerance::isTolerated (message))
                ADD_FAILURE() << message;
        }
    };
}

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // Nothing a test does may reach the real user's folders, not even between fixtures.
    TemporaryHome processHome;

    juce::ScopedJuceInitialiser_GUI juce;
    AssertionLogger logger;
    juce::Logger::setCurrentLogger (&logger);

    const int result = RUN_ALL_TESTS();

    juce::Logger::setCurrentLogger (nullptr);
    return result;
}
