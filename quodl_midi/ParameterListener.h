#pragma once

#include <atomic>
#include <functional>

namespace quodl
{
    // Binds one callback to one parameter. The callback runs on the message
    // thread, only when the value really changes: at once when the change comes
    // from the message thread, otherwise as one coalesced asynchronous update.
    class ParameterListener : private juce::AudioProcessorParameter::Listener,
                              private juce::AsyncUpdater
    {
    public:
        ParameterListener (juce::RangedAudioParameter& parameterToFollow, std::function<void (float)> callbackToRun);
        ~ParameterListener() override;

        float getCurrentValue() const noexcept { return currentValue.load(); }

    private:
        void parameterValueChanged (int parameterIndex, float newValue) override;
        void parameterGestureChanged (int parameterIndex, bool gestureIsStarting) override;
        void handleAsyncUpdate() override;

        juce::RangedAudioParameter& parameter;
        std::function<void (float)> callback;
        std::atomic<float> currentValue;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParameterListener)
    };
}
