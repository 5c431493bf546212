#include "ModelFile.h"

#include <bit>
#include <cstring>

std::uint32_t ModelFile::readU32 (std::size_t offset) const noexcept
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

std::uint16_t ModelFile::readU16 (std::size_t offset) const noexcept
{
    if constexpr (std::endian::native == std::endian::little)
    {
        std::uint16_t value;
        std::memcpy (&value, bytes + offset, sizeof (value));
        return value;
    }

    return static_cast<std::uint16_t> (bytes[offset] | (bytes[offset + 1] << 8));
}

std::optional<ModelFile::TrieNode> ModelFile::nodeAt (std::size_t offset) const noexcept
{
    if (bytes == nullptr || offset >= numBytes || numBytes - offset < nodeHeaderSize)
        return std::nullopt;

    TrieNode node;
    node.offset = offset;
    node.nextSiblingOffset = readU32 (offset);
    node.key = readU16 (offset + 4);
    node.hasChildren = bytes[offset + 6] != 0;
    node.entryCount = bytes[offset + 7];

    if ((numBytes - offset - nodeHeaderSize) / entrySize < static_cast<std::size_t> (node.entryCount))
        return std::nullopt;

    return node;
}

std::optional<ModelFile::TrieNode> ModelFile::firstChild (const TrieNode& parent) const noexcept
{
    if (! parent.hasChildren)
        return std::nullopt;

    return nodeAt (parent.offset + nodeHeaderSize + entrySize * static_cast<std::size_t> (parent.entryCount));
}

std::optional<ModelFile::TrieNode> ModelFile::nextSibling (const TrieNode& node) const noexcept
{
    // Offsets are unsigned and always forward; zero ends the chain.
    if (node.nextSiblingOffset == 0)
        return std::nullopt;

    return nodeAt (node.offset + node.nextSiblingOffset);
}

std::optional<ModelFile::TrieNode> ModelFile::findChild (const TrieNode& parent, StepToken key) const noexcept
{
    for (auto child = firstChild (parent); child.has_value(); child = nextSibling (*child))
        if (child->key == key)
            return child;

    return std::nullopt;
}

ModelFile::TrieEntry ModelFile::entry (const TrieNode& node, int index) const noexcept
{
    const auto offset = node.offset + nodeHeaderSize + entrySize * static_cast<std::size_t> (index);
    const auto bits = readU32 (offset);
    TrieEntry result;
    std::memcpy (&result.weight, &bits, sizeof (float));
    result.nextStep = readU16 (offset + 4);
    return result;
}

ModelFile::Descent ModelFile::descend (const StepToken* context, int contextLength) const noexcept
{
    Descent result;
    result.node = root();

    if (! result.node.has_value())
        return result;

    while (result.depth < contextLength && result.node->hasChildren)
    {
        const auto key = context[contextLength - 1 - result.depth];
        const auto child = findChild (*result.node, key);

        if (! child.has_value())
            break;

        result.node = child;
        ++result.depth;
    }

    return result;
}

int ModelFile::descendPath (const StepToken* context, int contextLength, Path& path) const noexcept
{
    auto node = root();
    if (! node.has_value())
        return -1;

    path[0] = *node;
    int depth = 0;

    while (depth < contextLength && depth < maxPathDepth && path[static_cast<std::size_t> (depth)].hasChildren)
    {
        const auto child = findChild (path[static_cast<std::size_t> (depth)], context[contextLength - 1 - depth]);
        if (! child.has_value())
            break;
        path[static_cast<std::size_t> (++depth)] = *child;
    }

    return depth;
}
