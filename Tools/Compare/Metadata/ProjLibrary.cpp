#include "Metadata/ProjLibrary.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace Orvid::Compare::Metadata {
namespace {

/// The file name (soname) of the PROJ that the build found.
constexpr const char* LIBRARY = PROJ_LIBRARY_SONAME;

/// Sets `function` to the symbol `name` of the library `handle`.
template <typename Function>
void bind(void* handle, const char* name, Function& function) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("cannot use ") + LIBRARY + ": it has no " + name);
    }
    // POSIX guarantees that a function's address survives the round trip through void*.
    function = reinterpret_cast<Function>(symbol);
}

} // namespace

ProjLibrary::ProjLibrary()
    // Never unloaded, so that a second context finds it loaded and nothing runs code of an unloaded PROJ.
    : mHandle(::dlopen(LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
    if (mHandle == nullptr) {
        const char* reason = ::dlerror();
        throw std::runtime_error(std::string("cannot load ") + LIBRARY + " (" +
                                 (reason != nullptr ? reason : "no reason given") + ")");
    }
    try {
        bindFunctions();
    } catch (...) {
        ::dlclose(mHandle);
        throw;
    }
}

ProjLibrary::~ProjLibrary() {
    ::dlclose(mHandle);
}

void ProjLibrary::bindFunctions() {
    bind(mHandle, "proj_context_create", contextCreate);
    bind(mHandle, "proj_context_destroy", contextDestroy);
    bind(mHandle, "proj_log_func", logFunc);
    bind(mHandle, "proj_log_level", logLevel);
    bind(mHandle, "proj_context_set_database_path", contextSetDatabasePath);
    bind(mHandle, "proj_context_get_database_path", contextGetDatabasePath);
    bind(mHandle, "proj_create_from_database", createFromDatabase);
    bind(mHandle, "proj_create_from_wkt", createFromWkt);
    bind(mHandle, "proj_create_compound_crs", createCompoundCrs);
    bind(mHandle, "proj_destroy", destroy);
    bind(mHandle, "proj_get_name", getName);
    bind(mHandle, "proj_get_type", getType);
    bind(mHandle, "proj_get_id_auth_name", getIdAuthName);
    bind(mHandle, "proj_get_id_code", getIdCode);
    bind(mHandle, "proj_get_source_crs", getSourceCrs);
    bind(mHandle, "proj_crs_get_sub_crs", crsGetSubCrs);
    bind(mHandle, "proj_identify", identify);
    bind(mHandle, "proj_is_equivalent_to_with_ctx", isEquivalentToWithCtx);
    bind(mHandle, "proj_list_get_count", listGetCount);
    bind(mHandle, "proj_list_get", listGet);
    bind(mHandle, "proj_list_destroy", listDestroy);
    bind(mHandle, "proj_int_list_destroy", intListDestroy);
    bind(mHandle, "proj_string_list_destroy", stringListDestroy);
}

} // namespace Orvid::Compare::Metadata
