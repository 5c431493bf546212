#include "ModelCatalogue.h"

#include <algorithm>
#include <array>

namespace
{
    constexpr std::array<const char*, 20> builtInNames {
        "Iron Kite", "Quiet Ember", "Wolf Den", "Pale Rivet", "Dune Relay",
        "Frost Ledge", "Moss Piper", "Jade Orb", "Twig Fog", "Coral Drift",
        "Salt Vane", "Ash Heron", "Tin Comet", "Palm Echo", "Cinder Gulf",
        "Lunar Moth", "Opal Sprig", "Rust Lantern", "Hazel Brook", "Nova Elm"
    };

    bool textBefore (const juce::File& a, const juce::File& b)
    {
        return a.getFileNameWithoutExtension().compare (b.getFileNameWithoutExtension()) < 0;
    }
}

std::optional<int> ModelCatalogue::numericValue (const juce::String& baseName)
{
    const auto text = baseName.toStdString();
    std::size_t i = 0;
    const auto negative = ! text.empty() && text[0] == '-';
    if (negative)
        ++i;

    if (i >= text.size() || text.size() - i > 10)
        return std::nullopt;

    if (text[i] == '0' && (text.size() - i > 1 || negative))
        return std::nullopt;

    std::int64_t value = 0;
    for (; i < text.size(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }

    value = negative ? -value : value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;

    return static_cast<int> (value);
}

juce::Array<juce::File> ModelCatalogue::listModels (const juce::File& folder)
{
    if (! folder.isDirectory())
        return {};

    const auto found = folder.findChildFiles (juce::File::findFiles, false, "*.bin", juce::File::FollowSymlinks::yes);

    // Numeric and other names are each sorted by their own rule, then merged by
    // text: a total order even though the pairwise rule is not transitive.
    std::vector<std::pair<int, juce::File>> numeric;
    std::vector<juce::File> named;

    for (const auto& file : found)
    {
        if (const auto value = numericValue (file.getFileNameWithoutExtension()))
            numeric.emplace_back (*value, file);
        else
            named.push_back (file);
    }

    std::stable_sort (numeric.begin(), numeric.end(), [] (const auto& a, const auto& b) { return a.first < b.first; });
    std::stable_sort (named.begin(), named.end(), textBefore);

    juce::Array<juce::File> result;
    std::size_t n = 0, t = 0;
    while (n < numeric.size() || t < named.size())
    {
        if (t >= named.size() || (n < numeric.size() && ! textBefore (named[t], numeric[n].second)))
            result.add (numeric[n++].second);
        else
            result.add (named[t++]);
    }

    return result;
}

juce::String ModelCatalogue::displayName (const juce::File& modelFile)
{
    const auto baseName = modelFile.getFileNameWithoutExtension();

    if (const auto value = numericValue (baseName); value && *value >= 0 && *value < static_cast<int> (builtInNames.size()))
        return builtInNames[static_cast<std::size_t> (*value)];

    return baseName;
}

juce::File ModelCatalogue::resourceFolderForBinary (const juce::File& binary)
{
    const auto parent = binary.getParentDirectory();
    auto bundle = parent;

    if (parent.getParentDirectory().getFileName() == "Contents")
        bundle = parent.getParentDirectory().getParentDirectory();   // <name>.vst3/Contents/<arch>/<name>.so

    return bundle.getChildFile ("Contents").getChildFile ("Resources");
}

juce::File ModelCatalogue::bundleResourceFolder()
{
    return resourceFolderForBinary (juce::File::getSpecialLocation (juce::File::currentApplicationFile));
}
