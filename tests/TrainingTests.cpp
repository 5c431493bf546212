#include "TestSupport.h"
#include "DrumCorpus.h"
#include "ModelEvaluation.h"
#include "TrieTrainer.h"

#include <set>

using namespace testing_support;

namespace
{
    constexpr int tpq = 96;   // 24 ticks a sixteenth

    struct Hit { double tick; int pitch; };

    juce::MidiFile midiWith (std::vector<Hit> hits, std::vector<std::pair<double, std::pair<int, int>>> signatures = {})
    {
        juce::MidiMessageSequence track;
        for (auto [tick, sig] : signatures)
            track.addEvent (juce::MidiMessage::timeSignatureMetaEvent (sig.first, sig.second), tick);
        for (auto h : hits)
        {
            track.addEvent (juce::MidiMessage::noteOn (10, h.pitch, (juce::uint8) 100), h.tick);
            track.addEvent (juce::MidiMessage::noteOff (10, h.pitch), h.tick + 10);
        }
        track.updateMatchedPairs();
        juce::MidiFile file;
        file.setTicksPerQuarterNote (tpq);
        file.addTrack (track);
        return file;
    }

    std::vector<int> hitWords (const DrumCorpus::Sequence& s)
    {
        std::vector<int> out;
        for (auto t : s.tokens)
            out.push_back (t & Tokens::hitMask);
        return out;
    }

    DrumCorpus::Sequence sequenceOf (std::vector<int> hits)
    {
        DrumCorpus::Sequence s;
        for (size_t i = 0; i < hits.size(); ++i)
            s.tokens.push_back (token (hits[i], (int) i));
        return s;
    }
}

TEST (Training, QuantisesToTheNearestSixteenthInWholeBars)
{
    struct Case { double tick; int step; };
    const Case cases[] { { 0, 0 }, { 11.9, 0 }, { 12, 1 }, { 24, 1 }, { 35.9, 1 }, { 36, 2 }, { 383, 16 }, { 371.9, 15 } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.tick);
        const auto result = DrumCorpus::readMidi (midiWith ({ { c.tick, 36 } }), DrumCorpus::defaultVoiceMap());
        ASSERT_EQ (result.sequences.size(), 1u);
        const auto words = hitWords (result.sequences[0]);
        EXPECT_EQ (words.size() % 16, 0u);
        // Leading empty bars are dropped, so the hit lands in the first bar.
        EXPECT_EQ (std::find (words.begin(), words.end(), 1 << BD) - words.begin(), c.step % 16);
    }

    // Two hits of a voice on one step are one; position classes are set.
    const auto result = DrumCorpus::readMidi (midiWith ({ { 0, 36 }, { 2, 36 }, { 24, 42 }, { 24, 44 }, { 48, 99 } }), DrumCorpus::defaultVoiceMap());
    ASSERT_EQ (result.sequences.size(), 1u);
    const auto& tokens = result.sequences[0].tokens;
    EXPECT_EQ (tokens[0], token (1 << BD, 0));
    EXPECT_EQ (tokens[1], token (1 << CH, 1));
    EXPECT_EQ (tokens[2], token (0, 2));
    EXPECT_EQ (tokens[7], (StepToken) (3 << 11));
    EXPECT_EQ (result.droppedNotes, 1);
}

TEST (Training, UsesOnlyFourFourStretches)
{
    const auto bar44 = 16 * 24.0, bar34 = 12 * 24.0;
    const auto file = midiWith ({ { 0, 38 }, { bar34, 36 }, { bar34 + bar44, 36 }, { bar34 + 2 * bar44, 38 } },
                                { { 0, { 3, 4 } }, { bar34, { 4, 4 } }, { bar34 + 2 * bar44, { 6, 8 } } });
    const auto result = DrumCorpus::readMidi (file, DrumCorpus::defaultVoiceMap());
    EXPECT_EQ (result.skippedNon44Stretches, 2);
    ASSERT_EQ (result.sequences.size(), 1u);
    const auto words = hitWords (result.sequences[0]);
    ASSERT_EQ (words.size(), 32u);   // the 4/4 stretch counts its bars from its own start
    EXPECT_EQ (words[0], 1 << BD);
    EXPECT_EQ (words[16], 1 << BD);

    const auto waltz = DrumCorpus::readMidi (midiWith ({ { 0, 36 } }, { { 0, { 3, 4 } } }), DrumCorpus::defaultVoiceMap());
    EXPECT_TRUE (waltz.sequences.empty());
    EXPECT_EQ (waltz.problem, "has no 4/4 part with drum notes");
    EXPECT_EQ (DrumCorpus::readMidi (midiWith ({ { 0, 60 } }), DrumCorpus::defaultVoiceMap()).problem, "has no drum notes");
}

TEST (Training, LongPausesSplitAPerformance)
{
    const auto bar = 16 * 24.0;
    // Four silent bars keep one sequence; five split it; a note far away costs nothing.
    struct Case { double secondHit; size_t sequences; size_t firstLength; };
    const Case cases[] { { 5 * bar, 1, 96 }, { 6 * bar, 2, 16 }, { 1.0e12, 2, 16 } };
    for (const auto& c : cases)
    {
        const auto result = DrumCorpus::readMidi (midiWith ({ { 0, 36 }, { c.secondHit, 38 } }), DrumCorpus::defaultVoiceMap());
        ASSERT_EQ (result.sequences.size(), c.sequences) << c.secondHit;
        EXPECT_EQ (result.sequences[0].tokens.size(), c.firstLength);
        const auto words = hitWords (result.sequences.back());
        EXPECT_EQ (words.size(), c.sequences == 2 ? 16u : c.firstLength);
        EXPECT_EQ (std::count (words.begin(), words.end(), 1 << SD), 1);
    }
}

TEST (Training, MapsGeneralMidiPitchesToTheVoiceThatPlaysThem)
{
    const auto map = DrumCorpus::defaultVoiceMap();
    const std::vector<std::pair<std::vector<int>, int>> table {
        { { 35, 36 }, BD }, { { 38, 40 }, SD }, { { 42, 22, 44 }, CH }, { { 46, 26 }, OH }, { { 43, 58, 41 }, LT },
        { { 45, 47 }, MT }, { { 48, 50 }, HT }, { { 37 }, RS }, { { 39 }, CP }, { { 49, 55, 57, 52 }, CB }, { { 51, 59, 53 }, CY },
    };
    size_t mapped = 0;
    for (const auto& [pitches, voice] : table)
        for (auto pitch : pitches)
        {
            ASSERT_TRUE (map.count (pitch)) << pitch;
            EXPECT_EQ (map.at (pitch), voice) << pitch;
            ++mapped;
        }
    EXPECT_EQ (map.size(), mapped);   // nothing else unless an option maps it
    for (int voice = 0; voice < Voices::count; ++voice)
        EXPECT_EQ (map.at (Voices::defaultPitches[(size_t) voice]), voice);   // each default pitch plays its own voice
}

TEST (Training, BuildsTheExactTrieOfATinyCorpus)
{
    TrieTrainer::Options raw;
    raw.maxOrder = 2;
    raw.minContextCount = 1;
    raw.smoothing = false;
    raw.startMarkers = TrieTrainer::StartMarkers::fileStart;
    TrieTrainer trainer (raw);

    // a b a b | a c: tokens carry their position class, so a at 0 and 2 differ.
    const int a = 1 << BD, b = 1 << SD, c = 1 << CH;
    trainer.add (sequenceOf ({ a, b, a, b }));
    trainer.add (sequenceOf ({ a, c }));
    const auto root = trainer.build();

    const auto a0 = token (a, 0), b1 = token (b, 1), a2 = token (a, 2), b3 = token (b, 3), c1 = token (c, 1);
    EXPECT_TRUE (root.entries.empty());
    ASSERT_EQ (root.children.size(), 4u);
    // Frequent contexts first, ties by key: the start marker and a0 were seen twice.
    EXPECT_EQ (root.children[0].key, a0);
    EXPECT_EQ (root.children[1].key, Tokens::startMarker);
    const auto& afterA0 = root.children[0];
    ASSERT_EQ (afterA0.entries.size(), 2u);
    EXPECT_FLOAT_EQ (afterA0.entries[0].weight, 0.5f);
    EXPECT_EQ (std::min (afterA0.entries[0].nextStep, afterA0.entries[1].nextStep), std::min (b1, c1));
    EXPECT_EQ (afterA0.entries[0].nextStep, std::min (b1, c1));   // equal weights: lower token first
    ASSERT_EQ (afterA0.children.size(), 1u);
    EXPECT_EQ (afterA0.children[0].key, Tokens::startMarker);
    EXPECT_TRUE (afterA0.children[0].children.empty());           // order 2 ends here
    std::set<StepToken> keys;
    for (const auto& child : root.children)
        keys.insert (child.key);
    EXPECT_EQ (keys, (std::set<StepToken> { Tokens::startMarker, a0, b1, a2 }));
    (void) b3;

    // Serialised in pre-order: each child's sibling offset is its subtree size.
    const auto bytes = ModelWriter::serialise (root);
    const ModelFile model (bytes.data(), bytes.size());
    const auto structure = ModelEvaluation::inspect (model);
    EXPECT_TRUE (structure.withinBounds);
    EXPECT_TRUE (structure.siblingOffsetsMatch);
    EXPECT_EQ (structure.bytesUsed, bytes.size());
    EXPECT_EQ (structure.nodesPerDepth, (std::vector<std::int64_t> { 1, 4, 3 }));
    const auto first = model.firstChild (*model.root());
    ASSERT_TRUE (first.has_value());
    EXPECT_EQ (first->offset, 8u);
    EXPECT_EQ (first->nextSiblingOffset, ModelWriter::subtreeSize (root.children[0]));
}

TEST (Training, SameInputGivesTheSameBytes)
{
    auto train = []
    {
        TrieTrainer trainer ({});
        for (int i = 0; i < 20; ++i)
        {
            std::vector<int> hits;
            for (int s = 0; s < 32; ++s)
                hits.push_back (rockHits (s) ^ ((s * 7 + i) % 5 == 0 ? 1 << OH : 0));
            trainer.add (sequenceOf (hits));
        }
        return ModelWriter::serialise (trainer.build());
    };
    EXPECT_EQ (train(), train());
}

TEST (Training, GenerationOnlyProducesStepsSeenAfterTheContextOrASuffix)
{
    // A small corpus of a few rhythms; the smoothed model may offer steps its
    // suffixes saw, but never a step the corpus did not have after them.
    std::vector<DrumCorpus::Sequence> corpus;
    for (int variant = 0; variant < 4; ++variant)
    {
        std::vector<int> hits;
        for (int s = 0; s < 48; ++s)
            hits.push_back (rockHits (s) | ((s + variant) % 6 == 0 ? 1 << OH : 0) | (variant == 3 && s % 16 == 15 ? 1 << HT : 0));
        corpus.push_back (sequenceOf (hits));
    }

    for (bool smoothing : { false, true })
    {
        SCOPED_TRACE (smoothing);
        TrieTrainer::Options options;
        options.maxOrder = 4;
        options.minContextCount = 1;
        options.smoothing = smoothing;
        options.minProbability = 0.0;
        TrieTrainer trainer (options);
        for (const auto& s : corpus)
            trainer.add (s);
        const auto bytes = ModelWriter::serialise (trainer.build());
        const ModelFile model (bytes.data(), bytes.size());

        // (context suffix, next) pairs of the corpus, the start marker included;
        // every bar line may start a pattern too.
        std::set<std::pair<std::vector<StepToken>, StepToken>> seen;
        for (const auto& s : corpus)
        {
            std::vector<StepToken> h { Tokens::startMarker };
            h.insert (h.end(), s.tokens.begin(), s.tokens.end());
            for (size_t i = 1; i < h.size(); ++i)
                for (size_t len = 0; len <= 4 && len <= i; ++len)
                    seen.insert ({ std::vector<StepToken> (h.begin() + (long) (i - len), h.begin() + (long) i), h[i] });
            for (size_t bar = 16; bar < s.tokens.size(); bar += 16)
                for (size_t i = bar; i < bar + 4; ++i)
                {
                    std::vector<StepToken> ctx { Tokens::startMarker };
                    ctx.insert (ctx.end(), s.tokens.begin() + (long) bar, s.tokens.begin() + (long) i);
                    seen.insert ({ ctx, s.tokens[i] });
                }
        }

        GeneratorSettings settings;
        settings.maxContext = settings.maxContextMin = settings.maxContextMax = 4;
        settings.temperatureMin = settings.temperatureMax = 1.0f;
        settings.toppMin = settings.toppMax = 1.0f;
        VariationGenerator generator;
        generator.generatorRandom.setSeed (5);
        int checked = 0;
        for (int run = 0; run < 30; ++run)
        {
            PatternSnapshot pattern;
            generator.generate (model, settings, -1, false, pattern);
            std::vector<StepToken> context { Tokens::startMarker };
            for (int s = 0; s < 32; ++s)
            {
                const auto next = (StepToken) pattern.step (0, s).hits;
                const auto depth = model.descend (context.data(), (int) context.size()).depth;
                if (depth == 0)
                {
                    // A context the model does not know: the generator's own empty step.
                    EXPECT_EQ (next, 0);
                    context.push_back (Step::contextToken (next, s));
                    if (context.size() > 4)
                        context.erase (context.begin());
                    continue;
                }
                bool found = false;
                const auto shortest = smoothing ? 0 : depth;   // raw counts: the reached context itself
                for (int len = std::min<int> (depth, (int) context.size()); len >= shortest && ! found; --len)
                    found = seen.count ({ std::vector<StepToken> (context.end() - len, context.end()), next }) > 0;
                EXPECT_TRUE (found) << "step " << s;
                context.push_back (Step::contextToken (next, s));
                if (context.size() > 4)
                    context.erase (context.begin());
                ++checked;
            }
        }
        EXPECT_GT (checked, 30 * 16);
    }
}

TEST (Training, InspectionReportsDamageWithoutRecursingForever)
{
    // A chain of 20000 nested nodes: far deeper than any model.
    std::vector<std::uint8_t> chain;
    for (int i = 0; i < 20000; ++i)
        chain.insert (chain.end(), { 0, 0, 0, 0, 1, 0, 1, 0 });
    chain.insert (chain.end(), { 0, 0, 0, 0, 1, 0, 0, 0 });
    const auto s = ModelEvaluation::inspect (ModelFile (chain.data(), chain.size()));
    EXPECT_FALSE (s.withinBounds);

    std::vector<std::uint8_t> truncated { 0, 0, 0, 0, 0, 0, 1, 3 };
    EXPECT_FALSE (ModelEvaluation::inspect (ModelFile (truncated.data(), truncated.size())).withinBounds);
}

TEST (Training, EvaluationCountsCoverageAndBits)
{
    ModelWriter::Node root;
    ModelWriter::Node start;
    start.key = Tokens::startMarker;
    start.entries = { { 3.0f, token (1 << BD, 0) }, { 1.0f, token (1 << SD, 0) } };
    root.children.push_back (start);
    const auto bytes = ModelWriter::serialise (root);
    const ModelFile model (bytes.data(), bytes.size());

    // First step: BD has p = 3/4; second step: context unknown, a miss.
    const auto score = ModelEvaluation::evaluate (model, { sequenceOf ({ 1 << BD, 1 << SD }) }, 8);
    EXPECT_EQ (score.steps, 2);
    EXPECT_EQ (score.covered, 1);
    EXPECT_NEAR (score.bits, -std::log2 (0.75) + ModelEvaluation::missBits, 1e-9);
}
