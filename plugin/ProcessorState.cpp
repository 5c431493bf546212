// State: parameter values in the framework's XML block, plus the pattern.
#include "PluginProcessor.h"
#include "PatternState.h"

void KadenzoAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto state = parameters.copyState();

    PatternState::Saved saved;
    {
        const juce::ScopedLock lock (modelLock);   // no generation half-way through
        saved.pattern = patternStore.copy();
        saved.contexts = generator.contextHistories;
    }

    state.appendChild (PatternState::toValueTree (saved), nullptr);

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void KadenzoAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (parameters.state.getType().toString()))
        return;

    auto tree = juce::ValueTree::fromXml (*xml);
    const auto patternElement = tree.getChildWithName (PatternState::elementType);

    // Our own element is taken out so the next save writes a fresh one.
    for (auto child = tree.getChildWithName (PatternState::elementType); child.isValid();
         child = tree.getChildWithName (PatternState::elementType))
        tree.removeChild (child, nullptr);

    restorePattern (patternElement, tree);
}

void KadenzoAudioProcessor::restorePattern (const juce::ValueTree& patternElement, juce::ValueTree& tree)
{
    const auto saved = PatternState::fromValueTree (patternElement);

    if (! saved.has_value())
    {
        parameters.replaceState (tree);
        return;
    }

    const auto hold = restoreHold;
    const auto serial = ++hold->serial;

    {
        const juce::ScopedLock lock (modelLock);
        hold->active.store (true);
        patternStore.publish (saved->pattern);
        generator.contextHistories = saved->contexts;
    }

    parameters.replaceState (tree);

    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();

    if (messageManager == nullptr || messageManager->isThisTheMessageThread())
    {
        // The reactions ran inside replaceState: the model is loaded, the pattern kept.
        hold->active.store (false);
        return;
    }

    // Off the message thread the reactions wait in the message queue; this
    // release is queued behind them.
    std::weak_ptr<RestoreHold> weakHold = hold;
    juce::MessageManager::callAsync ([weakHold, serial]
    {
        if (const auto h = weakHold.lock(); h != nullptr && h->serial.load() == serial)
            h->active.store (false);
    });
}
