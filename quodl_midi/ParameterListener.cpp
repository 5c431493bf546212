namespace quodl
{
    ParameterListener::ParameterListener (juce::RangedAudioParameter& parameterToFollow, std::function<void (float)> callbackToRun)
        : parameter (parameterToFollow),
          callback (std::move (callbackToRun)),
          currentValue (parameterToFollow.convertFrom0to1 (parameterToFollow.getValue()))
    {
        parameter.addListener (this);
    }

    ParameterListener::~ParameterListener()
    {
        parameter.removeListener (this);
        cancelPendingUpdate();
        callback = nullptr;
    }

    void ParameterListener::parameterValueChanged (int, float newValue)
    {
        const auto plain = parameter.convertFrom0to1 (newValue);

        if (plain == currentValue.load())
            return;

        currentValue.store (plain);

        if (juce::MessageManager::existsAndIsCurrentThread())
        {
            cancelPendingUpdate();
            handleAsyncUpdate();
        }
        else
        {
            triggerAsyncUpdate();
        }
    }

    void ParameterListener::parameterGestureChanged (int, bool) {}

    void ParameterListener::handleAsyncUpdate()
    {
        if (callback)
            callback (currentValue.load());
    }
}
