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

void chooseClassFileFormat(std::optional<ClassFileFormat> format, bool everyInputLaz, std::size_t threads,
                           const std::array<ClassFileKind*, 2>& kinds) {
    using FileIoInterface::Las::LasCompression;
    const bool laz = format ? *format == ClassFileFormat::laz : everyInputLaz;
    for (ClassFileKind* kind : kinds) {
        kind->options.compression = laz ? LasCompression::Laz : LasCompression::Las;
        kind->options.threads = threads;
    }
}

} // namespace Orvid::Compare
