#pragma once

#include <juce_core/juce_core.h>

// Which files in a resource folder are models, their order and display names.
namespace ModelCatalogue
{
    // The "*.bin" files directly inside folder, numeric base names by value,
    // others by text; empty when the folder is missing.
    juce::Array<juce::File> listModels (const juce::File& folder);

    juce::String displayName (const juce::File& modelFile);

    // The value of a base name that is the canonical decimal text of a 32-bit
    // signed integer (no sign but '-', no leading zeros, nothing else).
    std::optional<int> numericValue (const juce::String& baseName);

    // <bundle>/Contents/Resources of the binary this code runs in: the .vst3 or
    // .lv2 folder of a plug-in, the executable's folder for a standalone app.
    juce::File bundleResourceFolder();
    juce::File resourceFolderForBinary (const juce::File& binary);
}
