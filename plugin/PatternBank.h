#pragma once

#include "PatternStore.h"

#include <array>
#include <atomic>

// Shares the pattern between the thread that generates it and the threads that
// play or export it. A writer fills a buffer nobody reads and publishes it with
// one atomic store; a reader pins the published buffer for as long as it reads.
// Readers never block or allocate; a writer waits only if every spare buffer is
// still pinned by a reader, which lasts no longer than one block of playback.
class PatternBank
{
public:
    PatternBank() noexcept;

    class Reader
    {
    public:
        explicit Reader (const PatternBank& bankToRead) noexcept;
        ~Reader() noexcept;
        Reader (const Reader&) = delete;
        Reader& operator= (const Reader&) = delete;

        const PatternSnapshot& pattern() const noexcept { return bank.buffers[static_cast<std::size_t> (index)]; }
        const PatternSnapshot* operator->() const noexcept { return &pattern(); }

    private:
        const PatternBank& bank;
        int index;
    };

    // Any thread, never blocks: pin the current pattern while the Reader lives.
    Reader read() const noexcept { return Reader (*this); }

    // Writer threads only, one at a time (the caller serialises writers).
    void publish (const PatternSnapshot& pattern) noexcept;

    // A copy of the current pattern, for writers that build on it.
    PatternSnapshot copy() const noexcept;

private:
    static constexpr int numBuffers = 3;

    std::array<PatternSnapshot, numBuffers> buffers {};
    std::atomic<int> current { 0 };
    mutable std::array<std::atomic<int>, numBuffers> pins {};
};
