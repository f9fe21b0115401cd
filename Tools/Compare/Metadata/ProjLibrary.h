#pragma once

#include <proj.h>
// proj_create_compound_crs
#include <proj_experimental.h>

namespace Orvid::Compare::Metadata {

/// The PROJ functions that coordinate systems are built and compared with, from PROJ loaded when a
/// comparison first needs it rather than when the program starts: PROJ and the forty libraries it
/// needs take about 8 ms of CPU to load, which every partition and shard of a sharded comparison would
/// pay without comparing a coordinate system.
class ProjLibrary {
public:
    /// Loads PROJ. Throws std::runtime_error naming the library and the reason when it cannot.
    ProjLibrary();
    ~ProjLibrary();
    ProjLibrary(const ProjLibrary&) = delete;
    ProjLibrary& operator=(const ProjLibrary&) = delete;

    decltype(&::proj_context_create) contextCreate = nullptr;
    decltype(&::proj_context_destroy) contextDestroy = nullptr;
    decltype(&::proj_log_func) logFunc = nullptr;
    decltype(&::proj_log_level) logLevel = nullptr;
    decltype(&::proj_context_set_database_path) contextSetDatabasePath = nullptr;
    decltype(&::proj_context_get_database_path) contextGetDatabasePath = nullptr;
    decltype(&::proj_create_from_database) createFromDatabase = nullptr;
    decltype(&::proj_create_from_wkt) createFromWkt = nullptr;
    decltype(&::proj_create_compound_crs) createCompoundCrs = nullptr;
    decltype(&::proj_destroy) destroy = nullptr;
    decltype(&::proj_get_name) getName = nullptr;
    decltype(&::proj_get_type) getType = nullptr;
    decltype(&::proj_get_id_auth_name) getIdAuthName = nullptr;
    decltype(&::proj_get_id_code) getIdCode = nullptr;
    decltype(&::proj_get_source_crs) getSourceCrs = nullptr;
    decltype(&::proj_crs_get_sub_crs) crsGetSubCrs = nullptr;
    decltype(&::proj_identify) identify = nullptr;
    decltype(&::proj_is_equivalent_to_with_ctx) isEquivalentToWithCtx = nullptr;
    decltype(&::proj_list_get_count) listGetCount = nullptr;
    decltype(&::proj_list_get) listGet = nullptr;
    decltype(&::proj_list_destroy) listDestroy = nullptr;
    decltype(&::proj_int_list_destroy) intListDestroy = nullptr;
    decltype(&::proj_string_list_destroy) stringListDestroy = nullptr;

private:
    /// Sets every function; throws when the library lacks one.
    void bindFunctions();

    void* mHandle = nullptr;
};

} // namespace Orvid::Compare::Metadata
