#include "PatternState.h"

namespace
{
    const juce::Identifier versionId { "version" };
    const juce::Identifier stepsId { "steps" };
    const juce::Identifier ranksId { "ranks" };
    const juce::Identifier contextsId { "contexts" };
    constexpr int formatVersion = 1;
    constexpr int maxContextLength = 1024;

    // A step is "hits.position.classes": hits in hex, classes one digit per
    // voice, or "-" for a step that no generation has written.
    juce::String encodeStep (const PatternStep& step)
    {
        juce::String classes;
        if (step.hasVelocityClasses())
            for (int voice = 0; voice < Voices::count; ++voice)
                classes << step.velocityClass (voice);
        else
            classes = "-";

        return juce::String::toHexString (step.hits) + "." + juce::String (step.position) + "." + classes;
    }

    bool isHex (const juce::String& s) { return s.isNotEmpty() && s.length() <= 8 && s.containsOnly ("0123456789abcdefABCDEF"); }
    bool isDecimal (const juce::String& s) { return s.isNotEmpty() && s.length() <= 3 && s.containsOnly ("0123456789"); }

    std::optional<PatternStep> decodeStep (const juce::String& text)
    {
        const auto parts = juce::StringArray::fromTokens (text, ".", "");
        if (parts.size() != 3 || ! isHex (parts[0]) || ! isDecimal (parts[1]))
            return std::nullopt;

        PatternStep step;
        step.hits = static_cast<std::int32_t> (parts[0].getHexValue32());
        step.position = parts[1].getIntValue();

        if (step.hits < 0 || step.hits > 0xFFFF || step.position >= Pattern::barPositions)
            return std::nullopt;

        if (parts[2] == "-")
            return step;

        if (parts[2].length() != Voices::count || ! parts[2].containsOnly ("012"))
            return std::nullopt;

        step.numVelocityClasses = Voices::count;
        for (int voice = 0; voice < Voices::count; ++voice)
            step.velocityClasses[static_cast<std::size_t> (voice)] = static_cast<std::int8_t> (parts[2][voice] - '0');

        return step;
    }

    // Ranks run from -1 to 15: "-" and one hex digit each.
    juce::String encodeRanks (const ThinningRanks& ranks)
    {
        juce::String text;
        for (const auto& variation : ranks)
            for (const auto& voice : variation)
                for (auto rank : voice)
                    text << (rank < 0 ? juce::String ("-") : juce::String::toHexString (rank));
        return text;
    }

    bool decodeRanks (const juce::String& text, ThinningRanks& ranks)
    {
        if (text.length() != Pattern::numVariations * Voices::count * Pattern::barPositions)
            return false;

        int i = 0;
        for (auto& variation : ranks)
            for (auto& voice : variation)
                for (auto& rank : voice)
                {
                    const auto c = text[i++];
                    if (c == '-')
                        rank = -1;
                    else if (juce::CharacterFunctions::getHexDigitValue (c) >= 0)
                        rank = juce::CharacterFunctions::getHexDigitValue (c);
                    else
                        return false;
                }
        return true;
    }
}

juce::ValueTree PatternState::toValueTree (const Saved& saved)
{
    juce::StringArray steps;
    for (int v = 0; v < Pattern::numVariations; ++v)
        for (int s = 0; s < Pattern::numSteps; ++s)
            steps.add (encodeStep (saved.pattern.step (v, s)));

    juce::StringArray contexts;
    for (const auto& context : saved.contexts)
    {
        juce::StringArray tokens;
        for (auto token : context)
            tokens.add (juce::String::toHexString (static_cast<int> (token)));
        contexts.add (tokens.joinIntoString (","));
    }

    juce::ValueTree element (elementType);
    element.setProperty (versionId, formatVersion, nullptr);
    element.setProperty (stepsId, steps.joinIntoString (" "), nullptr);
    element.setProperty (ranksId, encodeRanks (saved.pattern.thinningRanks), nullptr);
    element.setProperty (contextsId, contexts.joinIntoString (" "), nullptr);
    return element;
}

std::optional<PatternState::Saved> PatternState::fromValueTree (const juce::ValueTree& element)
{
    if (! element.isValid() || ! element.hasType (elementType) || static_cast<int> (element[versionId]) != formatVersion)
        return std::nullopt;

    Saved saved;
    const auto steps = juce::StringArray::fromTokens (element[stepsId].toString(), " ", "");
    if (steps.size() != Pattern::numVariations * Pattern::numSteps)
        return std::nullopt;

    for (int i = 0; i < steps.size(); ++i)
    {
        const auto step = decodeStep (steps[i]);
        if (! step.has_value())
            return std::nullopt;
        saved.pattern.step (i / Pattern::numSteps, i % Pattern::numSteps) = *step;
    }

    if (! decodeRanks (element[ranksId].toString(), saved.pattern.thinningRanks))
        return std::nullopt;

    const auto contexts = juce::StringArray::fromTokens (element[contextsId].toString(), " ", "");
    if (contexts.size() != Pattern::numVariations)
        return std::nullopt;

    for (int v = 0; v < Pattern::numVariations; ++v)
    {
        const auto tokens = juce::StringArray::fromTokens (contexts[v], ",", "");
        if (tokens.isEmpty() || tokens.size() > maxContextLength)
            return std::nullopt;

        for (const auto& token : tokens)
        {
            if (! isHex (token) || token.length() > 4)
                return std::nullopt;
            saved.contexts[static_cast<std::size_t> (v)].push_back (static_cast<StepToken> (token.getHexValue32()));
        }
    }

    return saved;
}
