// orvo-train: makes model files from MIDI drum loops, and inspects and
// evaluates them.
#include "ToolMain.h"
#include "DrumCorpus.h"
#include "AtomicFile.h"
#include "ModelEvaluation.h"
#include "TrieTrainer.h"

#include <iostream>
#include <unistd.h>

namespace
{
    const char* usage = R"(orvo-train - make drum pattern models from MIDI files

Usage:
  orvo-train train    -o MODEL.bin [options] INPUT...
  orvo-train evaluate MODEL.bin [--context N] [--min-velocity V] [--map PITCH=VOICE]... INPUT...
  orvo-train inspect  MODEL.bin
  orvo-train --help

INPUT is a MIDI file or a folder searched for *.mid and *.midi files;
--files-from LIST reads more inputs from LIST, one path a line.

Training options:
  --order N             longest context, 1 to 16 (default 6)
  --min-count N         contexts seen fewer times are left to their suffix (default 2)
  --min-probability P   drop entries brought in by smoothing below P (default 0.002)
  --min-gain BITS       drop leaf contexts whose count times divergence from
                        their suffix is below BITS (default 0: keep all)
  --markers bars|file   start markers at every bar line or only at the start
                        of each file (default bars)
  --backoff W           scale the share left to shorter contexts (default 1)
  --discount D          absolute discounting by D instead of Witten-Bell
  --raw                 raw counts, no smoothing toward shorter contexts
  --min-velocity V      leave out notes softer than V, ghost notes (default 1)
  --map PITCH=VOICE     also map a MIDI pitch to a voice (BD SD CH OH LT MT HT
                        RS CP CB CY); General MIDI drum pitches are mapped already
  -q, --quiet           no progress

Notes are quantised to the nearest sixteenth of each file's own time; only 4/4
parts are used. Files that give nothing are skipped with a message; the exit
code is non-zero only when nothing usable was found or the model cannot be
written, and then nothing is written.

evaluate prints coverage (share of steps whose actual next step the reached
node offers) and bits per step; a miss counts as 16 bits.
)";

    using ToolMain::fail;

    struct Args
    {
        juce::String command;
        juce::StringArray positional;
        juce::File output;
        TrieTrainer::Options train;
        std::map<int, int> voiceMap = DrumCorpus::defaultVoiceMap();
        int context = 16;
        int minVelocity = 1;
        bool quiet = false;
    };

    int integer (const juce::String& option, const juce::String& text, int min, int max)
    {
        if (! text.containsOnly ("0123456789") || text.isEmpty() || text.getIntValue() < min || text.getIntValue() > max)
            fail (option + " needs a whole number from " + juce::String (min) + " to " + juce::String (max));
        return text.getIntValue();
    }

    Args parse (const juce::StringArray& a)
    {
        Args args;
        if (a.isEmpty())
            fail ("no command given; see orvo-train --help");
        args.command = a[0];
        if (! juce::StringArray { "train", "evaluate", "inspect" }.contains (args.command))
            fail ("unknown command '" + args.command + "'");

        for (int i = 1; i < a.size(); ++i)
        {
            auto value = [&] { if (i + 1 >= a.size()) fail (a[i] + " needs a value"); return a[++i]; };
            const auto& o = a[i];
            if (o == "-o" || o == "--output") args.output = juce::File::getCurrentWorkingDirectory().getChildFile (value());
            else if (o == "--order") args.train.maxOrder = integer (o, value(), 1, 16);
            else if (o == "--min-count") args.train.minContextCount = integer (o, value(), 1, 1000000);
            else if (o == "--min-probability") args.train.minProbability = value().getDoubleValue();
            else if (o == "--markers")
            {
                const auto m = value();
                if (m != "bars" && m != "file") fail ("--markers takes bars or file");
                args.train.startMarkers = m == "bars" ? TrieTrainer::StartMarkers::everyBar : TrieTrainer::StartMarkers::fileStart;
            }
            else if (o == "--raw") args.train.smoothing = false;
            else if (o == "--backoff") args.train.backoffWeight = value().getDoubleValue();
            else if (o == "--discount") args.train.discount = value().getDoubleValue();
            else if (o == "--min-gain") args.train.minGainBits = value().getDoubleValue();
            else if (o == "--min-velocity") args.minVelocity = integer (o, value(), 1, 127);
            else if (o == "--context") args.context = integer (o, value(), 1, 16);
            else if (o == "-q" || o == "--quiet") args.quiet = true;
            else if (o == "--map")
            {
                const auto m = value();
                const auto voice = Voices::codes.size();
                int index = -1;
                for (size_t v = 0; v < voice; ++v)
                    if (m.fromFirstOccurrenceOf ("=", false, false).equalsIgnoreCase (Voices::codes[v]))
                        index = (int) v;
                if (index < 0) fail ("--map needs PITCH=VOICE with a voice code, not '" + m + "'");
                args.voiceMap[integer ("--map", m.upToFirstOccurrenceOf ("=", false, false), 0, 127)] = index;
            }
            else if (o == "--files-from")
            {
                const juce::File list = juce::File::getCurrentWorkingDirectory().getChildFile (value());
                if (! list.existsAsFile()) fail ("cannot read " + list.getFullPathName());
                juce::StringArray lines;
                lines.addLines (list.loadFileAsString());
                for (const auto& line : lines)
                    if (line.trim().isNotEmpty())
                        args.positional.add (list.getParentDirectory().getChildFile (line.trim()).getFullPathName());
            }
            else if (o.startsWith ("-")) fail ("unknown option '" + o + "'");
            else args.positional.add (juce::File::getCurrentWorkingDirectory().getChildFile (o).getFullPathName());
        }
        return args;
    }

    juce::Array<juce::File> midiFiles (const juce::StringArray& inputs)
    {
        juce::Array<juce::File> files;
        for (const auto& input : inputs)
        {
            const juce::File f (input);
            if (f.isDirectory())
            {
                auto found = f.findChildFiles (juce::File::findFiles, true, "*.mid;*.midi;*.MID;*.MIDI");
                found.sort();
                files.addArray (found);
            }
            else
            {
                files.add (f);
            }
        }
        return files;
    }

    struct Corpus
    {
        std::vector<DrumCorpus::Sequence> sequences;
        int used = 0;
        std::int64_t steps = 0;
    };

    Corpus read (const juce::Array<juce::File>& files, const std::map<int, int>& voiceMap, int minVelocity, bool quiet)
    {
        Corpus corpus;
        const auto progress = ! quiet && isatty (2);
        for (int i = 0; i < files.size(); ++i)
        {
            if (progress)
                std::cerr << "\r  reading " << (i + 1) << "/" << files.size() << std::flush;

            auto result = DrumCorpus::readFile (files[i], voiceMap, minVelocity);
            if (result.skippedNon44Stretches > 0 && ! quiet)
                std::cerr << "\r" << files[i].getFullPathName() << ": skipped " << result.skippedNon44Stretches << " part(s) not in 4/4\n";
            if (result.sequences.empty())
            {
                std::cerr << "\r" << files[i].getFullPathName() << ": skipped, " << result.problem << "\n";
                continue;
            }
            ++corpus.used;
            for (auto& s : result.sequences)
            {
                corpus.steps += (std::int64_t) s.tokens.size();
                corpus.sequences.push_back (std::move (s));
            }
        }
        if (progress)
            std::cerr << "\r" << std::string (40, ' ') << "\r";
        return corpus;
    }

    juce::MemoryBlock loadModel (const juce::String& path)
    {
        juce::MemoryBlock bytes;
        const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (path);
        if (! file.existsAsFile() || ! file.loadFileAsData (bytes))
            fail ("cannot read model " + file.getFullPathName());
        return bytes;
    }

    int run (const juce::StringArray& a)
    {
        if (a.contains ("--help") || a.contains ("-h"))
        {
            std::cout << usage;
            return 0;
        }
        auto args = parse (a);

        if (args.command == "inspect")
        {
            if (args.positional.size() != 1) fail ("inspect takes one model file");
            const auto bytes = loadModel (args.positional[0]);
            const ModelFile model (bytes.getData(), bytes.getSize());
            const auto s = ModelEvaluation::inspect (model);
            std::cout << "size: " << bytes.getSize() << " bytes\nentries: " << s.entries << "\n";
            for (size_t d = 0; d < s.nodesPerDepth.size(); ++d)
                std::cout << "depth " << d << ": " << s.nodesPerDepth[d] << " nodes\n";
            const auto ok = s.withinBounds && s.siblingOffsetsMatch && s.bytesUsed == bytes.getSize();
            std::cout << "bounds: " << (ok ? "ok" : "DAMAGED") << " (" << s.bytesUsed << " of " << bytes.getSize() << " bytes in the tree)\n";
            return ok ? 0 : 1;
        }

        if (args.command == "evaluate")
        {
            if (args.positional.size() < 2) fail ("evaluate takes a model and MIDI inputs");
            const auto bytes = loadModel (args.positional[0]);
            args.positional.remove (0);
            const auto corpus = read (midiFiles (args.positional), args.voiceMap, args.minVelocity, args.quiet);
            if (corpus.sequences.empty()) fail ("no usable MIDI input");
            const ModelFile model (bytes.getData(), bytes.getSize());
            const auto score = ModelEvaluation::evaluate (model, corpus.sequences, args.context);
            std::cout << "files: " << corpus.used << "\nsteps: " << score.steps << "\ncontext: " << args.context
                      << "\ncoverage: " << juce::String (100.0 * score.coverage(), 2) << " %\nbits per step: "
                      << juce::String (score.bitsPerStep(), 3) << " (a miss counts " << ModelEvaluation::missBits << " bits)\n";
            return 0;
        }

        if (args.output == juce::File()) fail ("no output model given (-o MODEL.bin)");
        if (args.positional.isEmpty()) fail ("no MIDI input given");
        const auto files = midiFiles (args.positional);
        const auto corpus = read (files, args.voiceMap, args.minVelocity, args.quiet);
        if (corpus.sequences.empty()) fail ("nothing usable found in " + juce::String (files.size()) + " file(s)");

        TrieTrainer trainer (args.train);
        for (const auto& s : corpus.sequences)
            trainer.add (s);
        const auto root = trainer.build();
        const auto bytes = ModelWriter::serialise (root);

        if (! AtomicFile::write (juce::MemoryBlock (bytes.data(), bytes.size()), args.output))
            fail ("cannot write " + args.output.getFullPathName());

        const ModelFile model (bytes.data(), bytes.size());
        const auto s = ModelEvaluation::inspect (model);
        std::int64_t nodes = 0;
        for (auto n : s.nodesPerDepth) nodes += n;
        std::cout << "files used: " << corpus.used << ", skipped: " << (files.size() - corpus.used)
                  << "\nsteps: " << corpus.steps << "\nnodes: " << nodes << ", entries: " << s.entries
                  << "\nsize: " << bytes.size() << " bytes\nwrote " << args.output.getFullPathName() << "\n";
        return 0;
    }
}

int main (int argc, char** argv)
{
    return ToolMain::run ("orvo-train", argc, argv, run);
}
