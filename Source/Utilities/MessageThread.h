#pragma once

#include <juce_events/juce_events.h>

/** Where message-thread work may run.

    Inside a Linux host, JUCE's message thread is a thread of the plug-in's own while the host
    calls the plug-in from its GUI thread: code that must run "on the message thread" may also
    run on a thread that holds the juce::MessageManagerLock.
*/
namespace MessageThread
{
    /** True on the message thread, or on a thread that holds the message manager's lock. */
    inline bool isCurrent()
    {
        auto* mm = juce::MessageManager::getInstanceWithoutCreating();
        return mm != nullptr && mm->currentThreadHasLockedMessageManager();
    }

    /** Holds the message manager's lock while it is needed: acquire() takes it unless the calling
        thread is the message thread or holds it already; release() lets it go. */
    class Guard
    {
    public:
        Guard()    { acquire(); }

        void acquire()
        {
            if (lock == nullptr && ! isCurrent())
                lock = std::make_unique<juce::MessageManagerLock>();
        }

        void release()   { lock.reset(); }

    private:
        std::unique_ptr<juce::MessageManagerLock> lock;
    };
}
