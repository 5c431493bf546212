#pragma once

#include <gtest/gtest.h>

#include "ModelWriter.h"
#include "ParameterLayout.h"
#include "PluginProcessor.h"

#include <memory>

namespace testing_support
{
    // A folder under the temporary directory, removed with its contents.
    class TempFolder
    {
    public:
        // Unique per process: CTest runs tests in parallel processes.
        TempFolder() : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                                   .getChildFile ("orvo-test-" + juce::Uuid().toDashedString()))
        {
            folder.createDirectory();
        }
        ~TempFolder() { folder.deleteRecursively(); }

        const juce::File& get() const noexcept { return folder; }
        juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    private:
        juce::File folder;
    };

    inline void writeModel (const juce::File& file, const ModelWriter::Node& root)
    {
        const auto bytes = ModelWriter::serialise (root);
        file.replaceWithData (bytes.data(), bytes.size());
    }

    inline StepToken token (int hits, int step)
    {
        return Step::contextToken (hits, step);
    }

    // Hits of a plain rock beat: kick on 0 and 8, snare on 4 and 12, hats on eighths.
    inline int rockHits (int step)
    {
        const auto p = step % 16;
        auto hits = (p % 2 == 0) ? (1 << CH) : 0;
        if (p == 0 || p == 8 || p == 10) hits |= 1 << BD;
        if (p == 4 || p == 12) hits |= 1 << SD;
        return hits;
    }

    // An order-1 model of the rock beat, with a weaker alternative at every step,
    // so that generation always finds a context and has something to choose.
    inline ModelWriter::Node rockModel()
    {
        ModelWriter::Node root;
        auto addContext = [&] (StepToken key, int nextStep)
        {
            ModelWriter::Node child;
            child.key = key;
            child.entries.push_back ({ 4.0f, token (rockHits (nextStep), nextStep) });
            child.entries.push_back ({ 1.0f, token (rockHits (nextStep) ^ (1 << OH), nextStep) });
            root.children.push_back (child);
        };

        addContext (Tokens::startMarker, 0);
        for (int s = 0; s < 16; ++s)
        {
            addContext (token (rockHits (s), s), s + 1);
            addContext (token (rockHits (s) ^ (1 << OH), s), s + 1);
        }
        return root;
    }

    // Every context leads to the same two-entry distribution, A first.
    inline ModelWriter::Node twoChoiceModel (int hitsA, int hitsB, float weightA, float weightB)
    {
        ModelWriter::Node root;
        std::vector<StepToken> keys { Tokens::startMarker };
        for (int c = 0; c < 4; ++c)
        {
            keys.push_back (static_cast<StepToken> (hitsA | (c << 11)));
            keys.push_back (static_cast<StepToken> (hitsB | (c << 11)));
        }
        for (auto key : keys)
        {
            ModelWriter::Node child;
            child.key = key;
            child.entries = { { weightA, static_cast<StepToken> (hitsA) }, { weightB, static_cast<StepToken> (hitsB) } };
            root.children.push_back (child);
        }
        return root;
    }

    inline std::unique_ptr<KadenzoAudioProcessor> makeProcessor (const juce::File& folder,
                                                                 std::optional<juce::PluginHostType::HostType> host = juce::PluginHostType::UnknownHost)
    {
        return std::make_unique<KadenzoAudioProcessor> (folder, host);
    }

    inline juce::RangedAudioParameter& parameter (KadenzoAudioProcessor& p, const juce::String& id)
    {
        auto* param = p.parameters.getParameter (id);
        if (param == nullptr)
            throw std::runtime_error ("no parameter " + id.toStdString());
        return *param;
    }

    // Sets a plain value the way the editor does: normalised, then notify.
    inline void set (KadenzoAudioProcessor& p, const juce::String& id, float plain)
    {
        auto& param = parameter (p, id);
        ParameterValue::setNotifying (param, param.convertTo0to1 (plain));
    }

    inline float get (KadenzoAudioProcessor& p, const juce::String& id)
    {
        return ParameterValue::plain (parameter (p, id));
    }

    inline void flip (KadenzoAudioProcessor& p, const juce::String& id)
    {
        set (p, id, get (p, id) >= 0.5f ? 0.0f : 1.0f);
    }

    // A scripted transport for driving process() block by block.
    class TestPlayHead : public juce::AudioPlayHead
    {
    public:
        juce::Optional<PositionInfo> getPosition() const override
        {
            if (! present)
                return {};
            PositionInfo info;
            info.setIsPlaying (playing);
            if (withSamples)
                info.setTimeInSamples (timeInSamples);
            if (bpm > 0.0)
                info.setBpm (bpm);
            if (ppq.has_value())
                info.setPpqPosition (*ppq);
            return info;
        }

        bool present = true;
        bool playing = true;
        bool withSamples = true;
        juce::int64 timeInSamples = 0;
        double bpm = 120.0;
        std::optional<double> ppq;
    };

    struct TimedEvent
    {
        juce::int64 time;    // absolute sample
        int status, note, velocity;
        bool operator== (const TimedEvent&) const = default;
    };

    // Runs playing blocks from sample `start`, collecting what process() emits.
    inline std::vector<TimedEvent> runBlocks (KadenzoAudioProcessor& p, TestPlayHead& head, juce::int64 start,
                                              int blockSize, juce::int64 numSamples, int* blocksRun = nullptr)
    {
        std::vector<TimedEvent> events;
        juce::MidiBuffer midi;
        midi.ensureSize (8192);
        int blocks = 0;
        for (auto t = start; t < start + numSamples; t += blockSize, ++blocks)
        {
            head.timeInSamples = t;
            p.process (midi, blockSize);
            for (const auto metadata : midi)
            {
                const auto* d = metadata.data;
                events.push_back ({ t + metadata.samplePosition, d[0], d[1], d[2] });
            }
        }
        if (blocksRun != nullptr)
            *blocksRun = blocks;
        return events;
    }

    inline void preparePlayback (KadenzoAudioProcessor& p, TestPlayHead& head, double sampleRate, int blockSize)
    {
        p.setPlayHead (&head);
        p.setRateAndBufferSizeDetails (sampleRate, blockSize);
        p.prepareToPlay (sampleRate, blockSize);
    }
}
