#pragma once

#include "MemoryPoint.h"
#include "MemoryPointCloudReader.h"

#include <SyntheticSurvey/SurveyGenerator.h>

#include <memory>

namespace Orvid::Testing {

/// The generated point as an in-memory point, its two extra attributes as values.
std::unique_ptr<MemoryPoint> toMemoryPoint(const SyntheticSurvey::SurveyPoint& point);

/// A reader over a generated survey (an empty plan) or its test copy, held in memory.
MemoryPointCloudReader generatedCloud(const SyntheticSurvey::SurveyParameters& parameters,
                                      const SyntheticSurvey::ChangePlan& plan = {},
                                      SyntheticSurvey::PlantedChanges* planted = nullptr);

} // namespace Orvid::Testing
