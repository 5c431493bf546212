#include "ModelFile.h"


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

ModelFile::Descent ModelFile::descend (const StepToken* context, int contextLength) const noexcept
{
    Path path;
    Descent result;
    const auto depth = descendPath (context, contextLength, path);

    if (depth >= 0)
    {
        result.node = path[static_cast<std::size_t> (depth)];
        result.depth = depth;
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
