// Every model the plug-in ships loads, generates and plays notes in range.
#include "TestSupport.h"
#include "ModelEvaluation.h"

using namespace testing_support;

TEST (ShippedModels, EveryModelLoadsGeneratesAndPlays)
{
    const juce::File folder (ORVO_MODELS_DIR);
    const auto catalogue = KadenzoAudioProcessor::getTrieFiles (folder);
    ASSERT_GE (catalogue.size(), 12);
    ASSERT_LE (catalogue.size(), 20);

    juce::int64 total = 0;
    for (int i = 0; i < catalogue.size(); ++i)
    {
        SCOPED_TRACE (catalogue[i].getFileName());
        EXPECT_EQ (catalogue[i].getFileName(), juce::String (i) + ".bin");
        EXPECT_LE (catalogue[i].getSize(), 4 * 1024 * 1024);
        total += catalogue[i].getSize();

        juce::MemoryBlock bytes;
        ASSERT_TRUE (catalogue[i].loadFileAsData (bytes));
        const auto structure = ModelEvaluation::inspect (ModelFile (bytes.getData(), bytes.getSize()));
        EXPECT_TRUE (structure.withinBounds && structure.siblingOffsetsMatch);
        EXPECT_EQ (structure.bytesUsed, bytes.getSize());
    }
    EXPECT_LE (total, 32 * 1024 * 1024);

    auto p = makeProcessor (folder);
    for (int i = 0; i < catalogue.size(); ++i)
    {
        set (*p, "model", (float) i);
        for (int variation = 0; variation < 8; ++variation)
        {
            int notes = 0;
            for (int step = 0; step < 16; ++step)
                for (int voice = 0; voice < 11; ++voice)
                {
                    const auto m = p->getMidiStep (voice, step, variation);
                    if (m.valid == 0)
                        continue;
                    ++notes;
                    EXPECT_GE (m.note, 0);
                    EXPECT_LE (m.note, 127);
                    EXPECT_GE (m.velocity, 0);
                    EXPECT_LE (m.velocity, 127);
                }
            EXPECT_GT (notes, 0) << "model " << i << " variation " << variation;
        }
    }
}
