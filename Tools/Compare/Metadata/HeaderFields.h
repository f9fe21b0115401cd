#pragma once

#include <FileIoInterface/Las/LasHeader.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Orvid::Compare::Metadata {

/// How a header field's values over the files of one input make the input's value.
enum class Aggregation : std::uint8_t {
    /// One value for the whole input: files that disagree are a warning (formats, scales, bits).
    uniform,
    /// The distinct values in file order; they vary between files by nature (offsets, source ids).
    listed,
    /// The files' numbers added up, element by element (counts).
    summed,
    /// The union of the files' boxes (bounds).
    bounds,
};

/// A header field that two inputs are compared on.
struct HeaderField {
    const char* name;
    Aggregation aggregation;
    /// The field's value in one file, as text.
    std::string (*value)(const FileIoInterface::Las::LasHeader& header);
};

/// Every compared header field, in report order.
const std::vector<HeaderField>& headerFields();

/// The value of `field` over the files whose headers are `headers` (at least one).
std::string inputValue(const HeaderField& field, const std::vector<FileIoInterface::Las::LasHeader>& headers);

/// The distinct `values`, in the order first met, joined by " | ".
std::string distinctValues(const std::vector<std::string>& values);

/// A number as the shortest text that reads back as it.
std::string shortest(double value);
std::string shortest(float value);

} // namespace Orvid::Compare::Metadata
