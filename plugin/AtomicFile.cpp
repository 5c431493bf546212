#include "AtomicFile.h"

bool AtomicFile::write (const juce::MemoryBlock& bytes, const juce::File& target)
{
    const auto folder = target.getParentDirectory();
    if (! folder.isDirectory() && ! folder.createDirectory().wasOk())
        return false;

    const auto temporary = folder.getNonexistentChildFile ("." + target.getFileName() + ".part", "", false);
    auto written = false;

    {
        juce::FileOutputStream out (temporary);
        if (out.openedOk())
        {
            written = out.write (bytes.getData(), bytes.getSize());
            out.flush();
            written = written && out.getStatus().wasOk();
        }
    }

    if (written && temporary.getSize() == static_cast<juce::int64> (bytes.getSize()) && temporary.moveFileTo (target))
        return true;

    temporary.deleteFile();
    return false;
}
