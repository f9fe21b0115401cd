#pragma once

#include <CompareEngine/InputFacts.h>
#include <FileIoInterface/Las/LasHeader.h>

#include <string>
#include <vector>

namespace Orvid::Compare::Metadata {

/// What the points of an input, as the run read them, say against its headers: bounds off by more than
/// half a scale step, counts by return that differ, return numbers of 0 or above the pulse's number of
/// returns, and GPS times that contradict the declared time standard. Each a warning that starts with
/// `input` (role and path).
std::vector<std::string>
checkHeadersAgainstPoints(const std::string& input,
                          const std::vector<FileIoInterface::Las::LasHeader>& headers,
                          const Engine::InputFacts& facts);

} // namespace Orvid::Compare::Metadata
