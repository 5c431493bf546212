#include "ModelWriter.h"

#include <algorithm>
#include <cstring>

namespace
{
    constexpr std::size_t maxEntries = 255;

    void put32 (std::vector<std::uint8_t>& out, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back (static_cast<std::uint8_t> (value >> (8 * i)));
    }

    void put16 (std::vector<std::uint8_t>& out, std::uint16_t value)
    {
        out.push_back (static_cast<std::uint8_t> (value));
        out.push_back (static_cast<std::uint8_t> (value >> 8));
    }

    void write (const ModelWriter::Node& node, bool lastSibling, std::vector<std::uint8_t>& out)
    {
        const auto numEntries = std::min (node.entries.size(), maxEntries);
        put32 (out, lastSibling ? 0u : static_cast<std::uint32_t> (ModelWriter::subtreeSize (node)));
        put16 (out, node.key);
        out.push_back (node.children.empty() ? 0 : 1);
        out.push_back (static_cast<std::uint8_t> (numEntries));

        for (std::size_t i = 0; i < numEntries; ++i)
        {
            std::uint32_t bits = 0;
            std::memcpy (&bits, &node.entries[i].weight, sizeof (bits));
            put32 (out, bits);
            put16 (out, node.entries[i].nextStep);
            put16 (out, 0);
        }

        for (std::size_t i = 0; i < node.children.size(); ++i)
            write (node.children[i], i + 1 == node.children.size(), out);
    }
}

std::size_t ModelWriter::subtreeSize (const Node& node)
{
    auto size = 8 + 8 * std::min (node.entries.size(), maxEntries);
    for (const auto& child : node.children)
        size += subtreeSize (child);
    return size;
}

std::vector<std::uint8_t> ModelWriter::serialise (const Node& root)
{
    std::vector<std::uint8_t> out;
    out.reserve (subtreeSize (root));
    write (root, true, out);
    return out;
}
