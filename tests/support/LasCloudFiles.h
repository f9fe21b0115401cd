#pragma once

#include <FileIoInterface/AttributeDescriptor.h>
#include <FileIoInterface/InputOutputPoint.h>
#include <FileIoInterface/Las/LasWriterOptions.h>

#include <SyntheticSurvey/SurveyGenerator.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Orvid::Testing {

/// The points of one leg to be written.
using PointLeg = std::vector<std::unique_ptr<FileIoInterface::InputOutputPoint>>;

/// Writes each leg as "<prefix>-<k>.las" (k from 1) in `folder` with the plug-in's writer and
/// `options`, the points' extra values under `descriptors`; returns the paths in leg order. Throws
/// Core::IOException or Utils::ErrorManagement::ReturnStatusError when a file or point cannot be
/// written.
std::vector<std::filesystem::path>
writeLasLegs(const std::filesystem::path& folder, const std::string& prefix,
             const std::vector<PointLeg>& legs, const FileIoInterface::Las::LasWriterOptions& options,
             const std::vector<FileIoInterface::Attribute::Descriptor>& descriptors);

/// Writes the generated survey (the reference when `plan` is empty) as LAS 1.4 legs of
/// `pointFormat` (7 unless given; 0 drops the GPS times, the colours and the overlap flag) at 1 cm,
/// "<prefix>-<k>.las" in `folder` ("<prefix>-<k>.laz" with `compression`); returns the paths in leg order and
/// adds the planted changes to `planted` when given.
std::vector<std::filesystem::path>
writeSurveyLegs(const std::filesystem::path& folder, const std::string& prefix,
                const SyntheticSurvey::SurveyParameters& parameters,
                const SyntheticSurvey::ChangePlan& plan = {},
                SyntheticSurvey::PlantedChanges* planted = nullptr, std::uint8_t pointFormat = 7,
                FileIoInterface::Las::LasCompression compression = FileIoInterface::Las::LasCompression::Las);

/// The one-leg survey of `points` reference points that the benchmarks compare, "reference-1.las" and
/// "test-1.las" in `folder`, the test with 1 % of each change and 5 % of points added; returns the
/// two paths.
std::array<std::filesystem::path, 2>
writeSurveyPair(const std::filesystem::path& folder, std::uint64_t points, std::uint8_t pointFormat = 7,
                FileIoInterface::Las::LasCompression compression = FileIoInterface::Las::LasCompression::Las);

/// Copies the points of the LAS or LAZ file `source` into `across` x `across` tiles of equal size over
/// its header's extent, each in file order, as "<prefix>-<k>.las" ("<prefix>-<k>.laz" with
/// `compression`) in `folder`, with its point format, scale and offset; returns the paths of the
/// tiles that hold points, in order.
std::vector<std::filesystem::path> writeTiles(const std::filesystem::path& source,
                                              const std::filesystem::path& folder, const std::string& prefix,
                                              std::size_t across,
                                              FileIoInterface::Las::LasCompression compression);

/// Copies the LAS file `source` to `target` with its point records in a random order drawn from
/// `seed`; header and variable-length records stay as they are.
void writeShuffledCopy(const std::filesystem::path& source, const std::filesystem::path& target,
                       std::uint64_t seed);

/// Copies the LAS file `source` (two records or more) to `target` with its last two point records
/// swapped: out of key order at the very end when `source` is in key order.
void writeCopyWithLastRecordsSwapped(const std::filesystem::path& source,
                                     const std::filesystem::path& target);

/// Copies the LAS file `source` to `target` with its first point record moved after the others: out
/// of key order at the very end, with the lowest key, when `source` is in key order.
void writeCopyWithFirstRecordLast(const std::filesystem::path& source, const std::filesystem::path& target);

/// Gives, in place, every 37th record of the LAS file `file` (point format 6 to 10), counting from
/// `phase`, the key (GPS time and return number) of the record before it, a duplicate key, and every
/// 101st a NaN time. Throws Core::IOException when the file cannot be rewritten.
void plantAmbiguousKeys(const std::filesystem::path& file, std::size_t phase);

} // namespace Orvid::Testing
