#include "Command/ClassFileKind.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <set>

namespace Orvid::Compare {

using FileIoInterface::Las::LasHeader;

ClassFileKind classFileKindOf(const std::string& role, const std::vector<LasHeader>& headers) {
    ClassFileKind kind;
    kind.options.carried = FileIoInterface::Las::carriedFieldsOf(headers.front());
    std::set<std::string> kinds;
    for (const LasHeader& header : headers) {
        kinds.insert(header.describe());
    }
    const LasHeader& first = headers.front();
    if (kinds.size() == 1 && first.versionMinor >= 2) {
        kind.options.versionMinor = first.versionMinor;
        kind.options.pointFormat = first.pointFormat;
        return kind;
    }
    std::string described;
    for (const std::string& each : kinds) {
        described += (described.empty() ? "" : "; ") + each;
    }
    if (kinds.size() == 1) {
        // LAS 1.0 and 1.1 are not written; 1.2 holds the same point formats.
        kind.options.versionMinor = 2;
        kind.options.pointFormat = first.pointFormat;
        kind.conversion = role + " is " + described +
                          ": its class files are written as LAS 1.2, point format " +
                          std::to_string(first.pointFormat);
        return kind;
    }
    kind.options.versionMinor = 4;
    kind.conversion = role + " legs mix " + described + ": its class files are written as LAS 1.4";
    return kind;
}

namespace {

/// The first point format that `options` may write and that LAZ files cannot have yet, if any.
std::optional<std::uint8_t> formatWithoutLaz(const FileIoInterface::Las::LasWriterOptions& options) {
    // Without a format, the writer picks 6, 7 or 8 per leg (the kinds leave it so only for LAS 1.4).
    const std::vector<std::uint8_t> formats = options.pointFormat
                                                  ? std::vector<std::uint8_t>{*options.pointFormat}
                                                  : std::vector<std::uint8_t>{6, 7, 8};
    for (const std::uint8_t format : formats) {
        if (!FileIoInterface::Las::LasWriter::writesLaz(format)) {
            return format;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> chooseClassFileFormat(std::optional<ClassFileFormat> format, bool everyInputLaz,
                                                 std::size_t threads,
                                                 const std::array<ClassFileKind*, 2>& kinds) {
    using FileIoInterface::Las::LasCompression;
    const bool laz = format ? *format == ClassFileFormat::laz : everyInputLaz;
    std::optional<std::string> warning;
    for (ClassFileKind* kind : kinds) {
        const std::optional<std::uint8_t> refused = laz ? formatWithoutLaz(kind->options) : std::nullopt;
        if (refused && format) {
            throw Core::IOException("--out-format laz: LAZ files of point format " +
                                    std::to_string(*refused) + " are not written yet; give --out-format las");
        }
        if (refused) {
            warning = "the inputs are LAZ, but LAZ files of point format " + std::to_string(*refused) +
                      " are not written yet: the class files are LAS";
        }
    }
    for (ClassFileKind* kind : kinds) {
        kind->options.compression = laz && !warning ? LasCompression::Laz : LasCompression::Las;
        kind->options.threads = threads;
    }
    return warning;
}

} // namespace Orvid::Compare
