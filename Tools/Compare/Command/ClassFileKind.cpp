#include "Command/ClassFileKind.h"

#include <Core/IOException.h>
#include <FileIoInterface/Las/LasCarriedFields.h>
#include <FileIoInterface/Las/LasLayout.h>
#include <FileIoInterface/Las/LasWriter.h>

#include <set>

namespace Orvid::Compare {

using FileIoInterface::Las::LasHeader;

namespace {

/// The class files' version and format for `headers`, with a warning when they are not the input's own.
ClassFileKind versionAndFormatOf(const std::string& role, const std::vector<LasHeader>& headers) {
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
        kind.warnings.push_back(role + " is " + described +
                                ": its class files are written as LAS 1.2, point format " +
                                std::to_string(first.pointFormat));
        return kind;
    }
    kind.options.versionMinor = 4;
    kind.warnings.push_back(role + " legs mix " + described + ": its class files are written as LAS 1.4");
    return kind;
}

} // namespace

ClassFileKind classFileKindOf(const std::string& role, const std::vector<LasHeader>& headers) {
    ClassFileKind kind = versionAndFormatOf(role, headers);
    // Every leg, since modified/ carries each leg's own coordinate system; the first loss is told.
    for (const LasHeader& header : headers) {
        const FileIoInterface::Las::LasCarriedFields carried = FileIoInterface::Las::carriedFieldsOf(header);
        const std::optional<std::string> lost =
            FileIoInterface::Las::planLasLayout(kind.options, &carried, {}, nullptr).coordinateSystemLost;
        if (lost) {
            kind.warnings.push_back(role + ": its class files cannot keep its coordinate system (" + *lost +
                                    "); they are written without one");
            break;
        }
    }
    return kind;
}

void chooseClassFileFormat(std::optional<ClassFileFormat> format, bool everyInputLaz, std::size_t threads,
                           const std::array<ClassFileKind*, 2>& kinds) {
    using FileIoInterface::Las::LasCompression;
    const bool laz = format ? *format == ClassFileFormat::laz : everyInputLaz;
    // Every class file compresses on the same threads, so that the writers open at once (several per
    // test leg) stay within the run's count, and the one with chunks in hand uses them all.
    std::shared_ptr<FileIoInterface::Las::LasCompressionThreads> shared;
    if (laz && threads > 1) {
        shared = std::make_shared<FileIoInterface::Las::LasCompressionThreads>(threads);
    }
    for (ClassFileKind* kind : kinds) {
        kind->options.compression = laz ? LasCompression::Laz : LasCompression::Las;
        kind->options.sharedThreads = shared;
    }
}

} // namespace Orvid::Compare
