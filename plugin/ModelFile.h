#pragma once

#include "StepToken.h"

#include <cstddef>
#include <cstdint>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

// A model file is a little-endian pre-order trie read in place. Every accessor
// checks bounds, so a damaged file reads as a smaller tree, never past its end.
class ModelFile
{
public:
    static constexpr std::size_t nodeHeaderSize = 8;
    static constexpr std::size_t entrySize = 8;

    struct TrieEntry
    {
        float weight;
        StepToken nextStep;
    };

    // A node that lies wholly inside the data, entries included.
    struct TrieNode
    {
        std::size_t offset = 0;
        std::uint32_t nextSiblingOffset = 0;
        StepToken key = 0;
        bool hasChildren = false;
        int entryCount = 0;
    };

    ModelFile() = default;
    ModelFile (const void* data, std::size_t size) noexcept
        : bytes (static_cast<const std::uint8_t*> (data)), numBytes (size) {}

    std::optional<TrieNode> root() const noexcept { return nodeAt (0); }
    std::optional<TrieNode> nodeAt (std::size_t offset) const noexcept;
    std::optional<TrieNode> firstChild (const TrieNode& parent) const noexcept;
    std::optional<TrieNode> nextSibling (const TrieNode& node) const noexcept;

    // First child in chain order whose key matches; later duplicates are unreachable.
    std::optional<TrieNode> findChild (const TrieNode& parent, StepToken key) const noexcept;

    // Inline: the generator reads every entry of a node for every draw.
    TrieEntry entry (const TrieNode& node, int index) const noexcept
    {
        const auto offset = node.offset + nodeHeaderSize + entrySize * static_cast<std::size_t> (index);
        TrieEntry result;
        const auto bits = readU32 (offset);
        std::memcpy (&result.weight, &bits, sizeof (float));
        result.nextStep = readU16 (offset + 4);
        return result;
    }

    // Follows the context from its most recent token back, at most maxDepth
    // levels; returns the deepest node reached and how many keys matched.
    struct Descent
    {
        std::optional<TrieNode> node;
        int depth = 0;
    };
    Descent descend (const StepToken* context, int contextLength) const noexcept;

    // The whole walk at once: path[d] is the node reached after d keys, for
    // d up to the returned depth. A shorter cut of the same context reaches
    // path[min (depth, its length)], so one walk serves several cuts.
    static constexpr int maxPathDepth = 64;
    using Path = std::array<TrieNode, maxPathDepth + 1>;
    int descendPath (const StepToken* context, int contextLength, Path& path) const noexcept;

    std::size_t size() const noexcept { return numBytes; }

private:
    std::uint32_t readU32 (std::size_t offset) const noexcept
    {
        if constexpr (std::endian::native == std::endian::little)
        {
            std::uint32_t value;
            std::memcpy (&value, bytes + offset, sizeof (value));
            return value;
        }

        return static_cast<std::uint32_t> (bytes[offset])
             | (static_cast<std::uint32_t> (bytes[offset + 1]) << 8)
             | (static_cast<std::uint32_t> (bytes[offset + 2]) << 16)
             | (static_cast<std::uint32_t> (bytes[offset + 3]) << 24);
    }

    std::uint16_t readU16 (std::size_t offset) const noexcept
    {
        if constexpr (std::endian::native == std::endian::little)
        {
            std::uint16_t value;
            std::memcpy (&value, bytes + offset, sizeof (value));
            return value;
        }

        return static_cast<std::uint16_t> (bytes[offset] | (bytes[offset + 1] << 8));
    }

    const std::uint8_t* bytes = nullptr;
    std::size_t numBytes = 0;
};
