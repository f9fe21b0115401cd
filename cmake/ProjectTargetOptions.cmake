# Build settings shared by every target of this project (never by imported ones).
option(FILEIO_WERROR "Treat compiler warnings as errors" OFF)
option(FILEIO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

# Our own code only: third-party headers come in as system includes and stay quiet.
set(FILEIO_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual -Wsuggest-override -Wnull-dereference -Wdouble-promotion
    -Wformat=2)

function(fileio_configure_target target)
    target_compile_features(${target} PUBLIC cxx_std_17)
    set_target_properties(${target} PROPERTIES
        CXX_EXTENSIONS OFF
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        POSITION_INDEPENDENT_CODE ON)
    target_compile_options(${target} PRIVATE ${FILEIO_WARNINGS})
    # Assertion reports name source files relative to the repository root, also those of our inline
    # header code compiled into the targets of this build that use it.
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_compile_options(${target} PRIVATE -fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)
    else()
        target_compile_options(${target} PUBLIC $<BUILD_INTERFACE:-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=>)
    endif()
    if(FILEIO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(FILEIO_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
            -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
