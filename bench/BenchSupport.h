#pragma once

#include "ModelWriter.h"
#include "ParameterLayout.h"
#include "PluginProcessor.h"

namespace bench_support
{
    // 16 levels deep, 255 entries a node: every context the generator builds
    // walks the whole chain, and every draw runs over 255 powers.
    inline ModelWriter::Node worstCaseTrie()
    {
        const StepToken step = 0x1800 | 0x155;   // all class bits set: the context token never changes
        ModelWriter::Node chain;
        for (int level = 16; level >= 1; --level)
        {
            ModelWriter::Node node;
            node.key = step;
            for (int e = 0; e < 255; ++e)
                node.entries.push_back ({ 1.0f + (float) (e % 7), step });
            if (level < 16)
                node.children.push_back (std::move (chain));
            chain = std::move (node);
        }
        ModelWriter::Node start = chain;
        start.key = Tokens::startMarker;
        ModelWriter::Node root;
        root.children.push_back (std::move (start));
        root.children.push_back (std::move (chain));
        return root;
    }

    // What trained models look like: nodes of 30 entries, contexts known to
    // depth 8, three continuations at every level.
    inline ModelWriter::Node realisticTrie()
    {
        const std::array<StepToken, 3> steps { 0x1800 | 0x005, 0x1800 | 0x004, 0x1800 | 0x00A };
        std::function<ModelWriter::Node (StepToken, int)> build = [&] (StepToken key, int depth)
        {
            ModelWriter::Node node;
            node.key = key;
            for (int e = 0; e < 30; ++e)
                node.entries.push_back ({ 30.0f - (float) e, steps[(size_t) (e + depth) % 3] });
            if (depth < 8)
                for (auto s : steps)
                    node.children.push_back (build (s, depth + 1));
            return node;
        };
        ModelWriter::Node root;
        root.children.push_back (build (Tokens::startMarker, 1));
        for (auto s : steps)
            root.children.push_back (build (s, 1));
        return root;
    }

    struct Folder
    {
        Folder() : folder (juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("orvo-bench-" + juce::Uuid().toDashedString()))
        {
            folder.createDirectory();
        }
        ~Folder() { folder.deleteRecursively(); }
        juce::File folder;
    };

    inline void set (KadenzoAudioProcessor& p, const char* id, float plain)
    {
        auto& param = *p.parameters.getParameter (id);
        ParameterValue::setNotifying (param, param.convertTo0to1 (plain));
    }

    inline juce::File largestShippedModel()
    {
        juce::File largest;
        for (const auto& f : KadenzoAudioProcessor::getTrieFiles (juce::File (ORVO_MODELS_DIR)))
            if (largest == juce::File() || f.getSize() > largest.getSize())
                largest = f;
        return largest;
    }
}
