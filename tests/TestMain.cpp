#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// The processor's listeners and timers need a message manager; the test
// thread is its message thread.
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
