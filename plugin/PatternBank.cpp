#include "PatternBank.h"

#include <thread>

PatternBank::PatternBank() noexcept
{
    for (auto& p : pins)
        p.store (0);
}

PatternBank::Reader::Reader (const PatternBank& bankToRead) noexcept : bank (bankToRead)
{
    for (;;)
    {
        index = bank.current.load();
        bank.pins[static_cast<std::size_t> (index)].fetch_add (1);

        // The writer may have started reusing this buffer between the two loads;
        // seeing it still current after pinning means the writer cannot touch it.
        if (bank.current.load() == index)
            return;

        bank.pins[static_cast<std::size_t> (index)].fetch_sub (1);
    }
}

PatternBank::Reader::~Reader() noexcept
{
    bank.pins[static_cast<std::size_t> (index)].fetch_sub (1);
}

void PatternBank::publish (const PatternSnapshot& pattern) noexcept
{
    const auto published = current.load();

    for (;;)
    {
        for (int i = 0; i < numBuffers; ++i)
        {
            if (i == published || pins[static_cast<std::size_t> (i)].load() != 0)
                continue;

            buffers[static_cast<std::size_t> (i)] = pattern;
            current.store (i);
            return;
        }

        std::this_thread::yield();
    }
}

PatternSnapshot PatternBank::copy() const noexcept
{
    const auto reader = read();
    return reader.pattern();
}
