#include "TestSupport.h"

#include <thread>

using namespace testing_support;

namespace
{
    juce::MemoryBlock stateOf (KadenzoAudioProcessor& p)
    {
        juce::MemoryBlock block;
        p.getStateInformation (block);
        return block;
    }

    void restore (KadenzoAudioProcessor& p, const juce::MemoryBlock& block)
    {
        p.setStateInformation (block.getData(), (int) block.getSize());
    }

    juce::MemoryBlock blockWithXml (const juce::String& xml, std::optional<juce::uint32> storedLength = {})
    {
        juce::MemoryBlock block;
        juce::MemoryOutputStream out (block, false);
        out.writeInt (0x21324356);
        out.writeInt ((int) storedLength.value_or ((juce::uint32) xml.getNumBytesAsUTF8()));
        out.write (xml.toRawUTF8(), xml.getNumBytesAsUTF8());
        out.writeByte (0);
        out.flush();
        return block;
    }

    // Everything playback and export can see of the pattern.
    std::vector<MidiStep> rendering (KadenzoAudioProcessor& p)
    {
        std::vector<MidiStep> out;
        for (int v = 0; v < 8; ++v)
            for (int s = 0; s < 32; ++s)
                for (int voice = 0; voice < 11; ++voice)
                    out.push_back (p.getMidiStep (voice, s, v));
        return out;
    }

    struct Models
    {
        Models()
        {
            writeModel (folder.file ("0.bin"), rockModel());
            writeModel (folder.file ("1.bin"), twoChoiceModel (1 << CB, 1 << CY, 1, 1));
        }
        TempFolder folder;
    };
}

TEST (State, BlockHasTheFrameworkLayoutAndEveryParameter)
{
    Models m;
    auto p = makeProcessor (m.folder.get());
    const auto block = stateOf (*p);
    const auto* bytes = static_cast<const juce::uint8*> (block.getData());

    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (bytes[0], 0x56); EXPECT_EQ (bytes[1], 0x43); EXPECT_EQ (bytes[2], 0x32); EXPECT_EQ (bytes[3], 0x21);
    const auto n = juce::ByteOrder::littleEndianInt (bytes + 4);
    EXPECT_EQ (block.getSize(), 8u + n + 1u);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const juce::String text (juce::CharPointer_UTF8 ((const char*) bytes + 8), n);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <OrvoDrums>"));
    EXPECT_FALSE (text.containsChar ('\n'));

    const auto xml = juce::parseXML (text);
    ASSERT_NE (xml, nullptr);
    int params = 0;
    for (auto* child : xml->getChildWithTagNameIterator ("PARAM"))
    {
        auto& param = parameter (*p, child->getStringAttribute ("id"));
        EXPECT_FLOAT_EQ ((float) child->getDoubleAttribute ("value"), param.convertFrom0to1 (param.getDefaultValue()));
        ++params;
    }
    EXPECT_EQ (params, 180);
    EXPECT_NE (xml->getChildByName ("PATTERN"), nullptr);
}

TEST (State, RoundTripGivesBackEveryValueAndThePattern)
{
    Models m;
    auto saved = makeProcessor (m.folder.get());
    set (*saved, "model", 1);
    set (*saved, "temperature", 1.37f);
    set (*saved, "swing", 61);
    set (*saved, "shiftSD", 2);
    flip (*saved, "generate");
    flip (*saved, "generateHT");
    set (*saved, "patternlength", 12);   // after generating: the ranks were built for 16
    const auto block = stateOf (*saved);

    for (bool fromAnotherThread : { false, true })
    {
        SCOPED_TRACE (fromAnotherThread);
        auto fresh = makeProcessor (m.folder.get());
        if (fromAnotherThread)
        {
            std::thread host ([&] { restore (*fresh, block); });
            host.join();
            juce::MessageManager::getInstance()->runDispatchLoopUntil (100);
        }
        else
        {
            restore (*fresh, block);
        }

        for (auto* param : saved->getParameters())
            EXPECT_EQ (fresh->getParameters()[param->getParameterIndex()]->getValue(), param->getValue());
        EXPECT_EQ (fresh->getPattern(), saved->getPattern());
        EXPECT_EQ (rendering (*fresh), rendering (*saved));
        EXPECT_EQ (fresh->getContextHistories(), saved->getContextHistories());

        // The restored model is loaded: the next regeneration draws from it.
        flip (*fresh, "generate");
        const auto hits = fresh->getPattern().step (0, 0).hits & Tokens::hitMask;
        EXPECT_TRUE (hits == (1 << CB) || hits == (1 << CY));
    }
}

TEST (State, UnusableBlocksAreIgnored)
{
    Models m;
    auto p = makeProcessor (m.folder.get());
    set (*p, "swing", 70);
    const auto pattern = p->getPattern();

    std::vector<juce::MemoryBlock> blocks;
    for (int size = 0; size <= 8; ++size)
        blocks.emplace_back ((size_t) size, true);
    auto wrongMagic = blockWithXml ("<OrvoDrums/>");
    static_cast<char*> (wrongMagic.getData())[0] = 'X';
    blocks.push_back (wrongMagic);
    blocks.push_back (blockWithXml ("<OrvoDrums><PARAM id=\"swing\" value=\"55\"/></OrvoDrums>", 0u));
    blocks.push_back (blockWithXml ("this is not xml"));
    blocks.push_back (blockWithXml ("<Other><PARAM id=\"swing\" value=\"55\"/></Other>"));
    blocks.push_back (blockWithXml ("<OrvoDrums><PARAM id=\"swing\" value=\"55\"/></OrvoDrums>", 0x80000000u));   // negative length

    for (const auto& block : blocks)
    {
        restore (*p, block);
        EXPECT_EQ (get (*p, "swing"), 70.0f);
        EXPECT_EQ (p->getPattern(), pattern);
    }
}

TEST (State, ForeignAndDamagedBlocksRestoreParameterValues)
{
    Models m;
    auto p = makeProcessor (m.folder.get());
    set (*p, "swing", 70);
    set (*p, "velocityBD", 20);
    const auto pattern = p->getPattern();

    // No pattern element (an older save), lower-case root, a missing PARAM
    // (takes its default) and unknown content (kept and saved again).
    restore (*p, blockWithXml ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <orvodrums><PARAM id=\"swing\" value=\"55\"/>"
                               "<PARAM id=\"noSuchParameter\" value=\"3\"/><EXTRA note=\"kept\"/></orvodrums>"));
    EXPECT_EQ (get (*p, "swing"), 55.0f);
    EXPECT_EQ (get (*p, "velocityBD"), 100.0f);
    EXPECT_EQ (p->getPattern(), pattern);   // neither model nor generate changed

    const auto again = stateOf (*p);
    const juce::String text (juce::CharPointer_UTF8 ((const char*) again.getData() + 8));
    EXPECT_TRUE (text.contains ("noSuchParameter"));
    EXPECT_TRUE (text.contains ("<EXTRA note=\"kept\"/>"));

    // A stored length beyond the data is cut to the data.
    restore (*p, blockWithXml ("<OrvoDrums><PARAM id=\"swing\" value=\"60\"/></OrvoDrums>", 100000u));
    EXPECT_EQ (get (*p, "swing"), 60.0f);

    // Without a pattern, a changed generate value regenerates as it always did.
    restore (*p, blockWithXml ("<OrvoDrums><PARAM id=\"generate\" value=\"1\"/></OrvoDrums>"));
    EXPECT_NE (p->getPattern(), pattern);

    // A damaged pattern element is ignored whole; the values still load.
    const auto now = p->getPattern();
    for (auto damaged : { "steps=\"1.2.3\"", "version=\"2\"", "contexts=\"zz\"" })
    {
        restore (*p, blockWithXml (juce::String ("<OrvoDrums><PARAM id=\"swing\" value=\"51\"/><PARAM id=\"generate\" value=\"1\"/><PATTERN version=\"1\" ") + damaged
                                   + " ranks=\"\"/></OrvoDrums>"));
        EXPECT_EQ (get (*p, "swing"), 51.0f);
        EXPECT_EQ (p->getPattern(), now);
        set (*p, "swing", 70);
    }
}
