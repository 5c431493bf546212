// orvo-vuded: the plug-in's engine without a host. Lists models, generates
// patterns to MIDI files, and renders real-time playback over a simulated
// transport, all with the same processor the plug-in runs.
#include "ToolMain.h"
#include "PluginProcessor.h"
#include "AtomicFile.h"
#include "MidiExport.h"
#include "ParameterLayout.h"
#include "ModelCatalogue.h"
#include "HeadlessTransport.h"

#include <iostream>

namespace
{
    const char* usage = R"(orvo-vuded - drum patterns from trained models, as MIDI files

Usage:
  orvo-vuded models   [--models DIR]
  orvo-vuded generate [--models DIR] [--model INDEX|NAME] [--set ID=VALUE]... [--seed N] -o FILE
  orvo-vuded render   [--models DIR] [--model INDEX|NAME] [--set ID=VALUE]... [--seed N]
                      [--tempo BPM] [--sample-rate HZ] [--block-size N] [--bars N] -o FILE
  orvo-vuded --help

Commands:
  models     list the models (index and name) of the installed plug-in or of DIR
  generate   generate a pattern and write it as the plug-in exports it: the
             current variation, or every enabled variation with --set lfo=1
  render     play the pattern block by block over a running transport, as a
             host would, and write the MIDI the plug-in emits

Options:
  --models DIR       model folder (default: the installed plug-in's models)
  --model M          model by catalogue index or display name (default 0)
  --set ID=VALUE     set a parameter by its ID to a plain value: numbers for
                     numeric parameters, 0/1 or true/false for switches, an index
                     or the text of a choice (e.g. --set variationtype=beam)
  --seed N           seed the generators: the same seed gives the same bytes
  --tempo BPM        render tempo (default 120)
  --sample-rate HZ   render sample rate (default 48000)
  --block-size N     render block size in samples (default 512)
  --bars N           bars to render (default 4)
  -o, --output FILE  the MIDI file to write

Errors are reported on one line on stderr with a non-zero exit; nothing is
written then.
)";

    using ToolMain::fail;

    struct Options
    {
        juce::String command;
        std::optional<juce::File> models;
        juce::String model = "0";
        std::vector<std::pair<juce::String, juce::String>> sets;
        std::optional<juce::int64> seed;
        double tempo = 120.0, sampleRate = 48000.0;
        int blockSize = 512, bars = 4;
        std::optional<juce::File> output;
    };

    double number (const juce::String& option, const juce::String& text, double min, double max)
    {
        const auto trimmed = text.trim();
        if (trimmed.isEmpty() || ! trimmed.containsOnly ("0123456789.-+eE") || trimmed.getDoubleValue() < min || trimmed.getDoubleValue() > max)
            fail (option + " needs a number from " + juce::String (min) + " to " + juce::String (max) + ", not '" + text + "'");
        return trimmed.getDoubleValue();
    }

    Options parse (const juce::StringArray& args)
    {
        Options o;
        if (args.isEmpty())
            fail ("no command given; see orvo-vuded --help");
        o.command = args[0];
        if (! juce::StringArray { "models", "generate", "render" }.contains (o.command))
            fail ("unknown command '" + o.command + "'; see orvo-vuded --help");

        for (int i = 1; i < args.size(); ++i)
        {
            const auto& a = args[i];
            auto value = [&]
            {
                if (i + 1 >= args.size())
                    fail (a + " needs a value");
                return args[++i];
            };

            if (a == "--models") o.models = juce::File::getCurrentWorkingDirectory().getChildFile (value());
            else if (a == "--model") o.model = value();
            else if (a == "--set")
            {
                const auto s = value();
                if (! s.containsChar ('='))
                    fail ("--set needs ID=VALUE, not '" + s + "'");
                o.sets.emplace_back (s.upToFirstOccurrenceOf ("=", false, false).trim(), s.fromFirstOccurrenceOf ("=", false, false).trim());
            }
            else if (a == "--seed") o.seed = (juce::int64) number (a, value(), -9.0e15, 9.0e15);
            else if (a == "--tempo") o.tempo = number (a, value(), 20, 999);
            else if (a == "--sample-rate") o.sampleRate = number (a, value(), 8000, 384000);
            else if (a == "--block-size") o.blockSize = (int) number (a, value(), 1, 65536);
            else if (a == "--bars") o.bars = (int) number (a, value(), 1, 1000);
            else if (a == "-o" || a == "--output") o.output = juce::File::getCurrentWorkingDirectory().getChildFile (value());
            else fail ("unknown option '" + a + "'; see orvo-vuded --help");
        }

        if (o.command != "models" && ! o.output.has_value())
            fail ("no output file given (-o FILE)");
        if (o.command == "models" && ! o.sets.empty())
            fail ("models takes no --set");
        return o;
    }

    juce::File defaultModelFolder()
    {
        const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
        for (auto bundle : { ".vst3/OrvoVuded.vst3", ".lv2/OrvoVuded.lv2" })
            if (const auto folder = home.getChildFile (bundle).getChildFile ("Contents/Resources"); folder.isDirectory())
                return folder;
        return ModelCatalogue::bundleResourceFolder();   // beside this executable
    }

    int modelIndex (const juce::Array<juce::File>& catalogue, const juce::String& wanted)
    {
        if (catalogue.isEmpty())
            fail ("no models found");
        for (int i = 0; i < catalogue.size(); ++i)
            if (ModelCatalogue::displayName (catalogue[i]).equalsIgnoreCase (wanted) || catalogue[i].getFileNameWithoutExtension() == wanted)
                return i;
        if (wanted.containsOnly ("0123456789") && wanted.isNotEmpty() && wanted.getIntValue() < catalogue.size())
            return wanted.getIntValue();
        fail ("unknown model '" + wanted + "'; orvo-vuded models lists them");
    }

    // Plain value for a parameter from text, or a failure naming what is allowed.
    float plainValue (juce::RangedAudioParameter& p, const juce::String& text)
    {
        const auto range = p.getNormalisableRange();
        if (auto* choice = dynamic_cast<juce::AudioParameterChoice*> (&p))
        {
            if (const auto index = choice->choices.indexOf (text, true); index >= 0)
                return (float) index;
        }
        if (dynamic_cast<juce::AudioParameterBool*> (&p) != nullptr)
        {
            if (text.equalsIgnoreCase ("true") || text.equalsIgnoreCase ("on")) return 1.0f;
            if (text.equalsIgnoreCase ("false") || text.equalsIgnoreCase ("off")) return 0.0f;
        }
        const auto t = text.trim();
        const bool numeric = t.isNotEmpty() && t.containsOnly ("0123456789.-+eE");
        const bool integral = dynamic_cast<juce::AudioParameterFloat*> (&p) == nullptr;
        const auto v = t.getDoubleValue();
        if (! numeric || v < range.start || v > range.end || (integral && v != std::floor (v)))
            fail ("value '" + text + "' for " + p.getParameterID() + " is outside its range "
                  + juce::String (range.start) + " to " + juce::String (range.end) + (integral ? " (whole numbers)" : ""));
        return (float) v;
    }

    void applySets (KadenzoAudioProcessor& processor, const Options& o)
    {
        // Checked first, so that a bad value changes nothing.
        std::vector<std::pair<juce::RangedAudioParameter*, float>> values;
        for (const auto& [id, text] : o.sets)
        {
            auto* p = processor.parameters.getParameter (id);
            if (p == nullptr)
                fail ("unknown parameter '" + id + "'");
            if (id == "model")
                fail ("choose the model with --model");
            values.emplace_back (p, plainValue (*p, text));
        }
        for (auto [p, v] : values)
            ParameterValue::setNotifying (*p, p->convertTo0to1 (v));
    }

    std::unique_ptr<KadenzoAudioProcessor> prepare (const Options& o)
    {
        const auto folder = o.models.value_or (defaultModelFolder());
        const auto catalogue = ModelCatalogue::listModels (folder);
        const auto index = modelIndex (catalogue, o.model);

        auto processor = std::make_unique<KadenzoAudioProcessor> (folder, juce::PluginHostType::UnknownHost);
        applySets (*processor, o);
        auto& model = *processor->parameters.getParameter ("model");
        model.setValue (model.convertTo0to1 ((float) index));   // recorded; loaded below

        // Seeded, from fresh contexts: the output depends on the seed alone.
        processor->resetGenerator (o.seed.value_or (juce::Random::getSystemRandom().nextInt64()));
        processor->setModel (index);
        if (! processor->isModelLoaded())
            fail ("model " + catalogue[index].getFullPathName() + " could not be read");
        return processor;
    }

    void write (const juce::MemoryBlock& bytes, const juce::File& target)
    {
        if (! AtomicFile::write (bytes, target))
            fail ("cannot write " + target.getFullPathName());
    }

    int run (const juce::StringArray& args)
    {
        if (args.contains ("--help") || args.contains ("-h"))
        {
            std::cout << usage;
            return 0;
        }

        const auto o = parse (args);

        if (o.command == "models")
        {
            const auto folder = o.models.value_or (defaultModelFolder());
            const auto catalogue = ModelCatalogue::listModels (folder);
            if (catalogue.isEmpty())
                fail ("no models found in " + folder.getFullPathName());
            for (int i = 0; i < catalogue.size(); ++i)
                std::cout << i << "\t" << ModelCatalogue::displayName (catalogue[i]) << "\t" << catalogue[i].getFileName() << "\n";
            return 0;
        }

        auto processor = prepare (o);

        if (o.command == "generate")
        {
            if (! processor->exportMidiFileTo (*o.output))
                fail ("cannot write " + o.output->getFullPathName());
        }
        else
        {
            write (HeadlessTransport::render (*processor, o.tempo, o.sampleRate, o.blockSize, o.bars), *o.output);
        }

        std::cout << o.output->getFullPathName() << "\n";
        return 0;
    }
}

int main (int argc, char** argv)
{
    return ToolMain::run ("orvo-vuded", argc, argv, run);
}
