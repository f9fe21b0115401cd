#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvid::Testing::Las {

/// Writes to `laz` a LAZ file made of the compressed chunks of the LAZ file `source` (chunked, with a
/// chunk table) in the order `chunks` lists their indices (an index may repeat or be left out), under a
/// rebuilt chunk table and the header's point count; each chunk decodes on its own, so the file is
/// valid. When `las` is not empty, also writes there the LAS file of the same records. Returns the
/// number of points written.
std::uint64_t writeLazFromChunks(const std::filesystem::path& source, const std::vector<std::size_t>& chunks,
                                 const std::filesystem::path& laz, const std::filesystem::path& las = {});

/// The compressed chunks of the LAZ file at `path`, in file order.
std::vector<std::vector<std::uint8_t>> compressedChunksOf(const std::filesystem::path& path);

/// The point records of the LAS or LAZ file at `path`, decoded.
std::vector<std::uint8_t> recordsOf(const std::filesystem::path& path);

} // namespace Orvid::Testing::Las
