#pragma once

#include <juce_core/juce_core.h>

namespace AtomicFile
{
    // Writes beside the target and moves into place only when every byte is on
    // disk; on failure no partial target is left, an older one is untouched,
    // and false is returned. For exports and model files alike.
    bool write (const juce::MemoryBlock& bytes, const juce::File& target);
}
