# Build conventions shared by every target of ours.

# Compiler settings for our own code (not for third-party code such as GoogleTest).
function(lumivex_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
        # Hardware faults inside guarded operations are turned into C++ exceptions, so every
        # instruction that can fault must be covered by unwind tables.
        -fnon-call-exceptions -fasynchronous-unwind-tables)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
        _WIN32_WINNT=0x0601 WINVER=0x0601)
    # No link time in the file headers: two builds of one commit give the same bytes.
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
endfunction()

# Adds the shared version resource to a deliverable or test program.
#   lumivex_add_version_resource(target INTERNAL_NAME name DESCRIPTION text [FILE_TYPE dll|app])
function(lumivex_add_version_resource target)
    cmake_parse_arguments(VR "" "INTERNAL_NAME;DESCRIPTION;FILE_TYPE" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
        set(VR_FILETYPE "VFT_DLL")
        set(VR_ORIGINAL_FILENAME "${VR_INTERNAL_NAME}.dll")
    else()
        set(VR_FILETYPE "VFT_APP")
        set(VR_ORIGINAL_FILENAME "${VR_INTERNAL_NAME}.exe")
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
