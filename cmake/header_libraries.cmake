# CLI11 (command line) and nlohmann/json (JSON) are header-only, from the
# Debian packages libcli11-dev and nlohmann-json3-dev. The cross-compilers
# must not search /usr/include as a whole (its C library is glibc's), so the
# two libraries are linked into a folder of their own in the build tree.
if(NOT TARGET zav_header_libraries)
    set(ZAV_HEADER_LIBRARIES_DIR ${CMAKE_BINARY_DIR}/header-libraries)
    foreach(library CLI nlohmann)
        if(NOT EXISTS /usr/include/${library})
            message(FATAL_ERROR "/usr/include/${library} is missing: install libcli11-dev and nlohmann-json3-dev "
                                "(tools/setup.sh does)")
        endif()
        file(MAKE_DIRECTORY ${ZAV_HEADER_LIBRARIES_DIR})
        file(CREATE_LINK /usr/include/${library} ${ZAV_HEADER_LIBRARIES_DIR}/${library} SYMBOLIC)
    endforeach()
    add_library(zav_header_libraries INTERFACE)
    target_include_directories(zav_header_libraries SYSTEM INTERFACE ${ZAV_HEADER_LIBRARIES_DIR})
    # CLI11 without std::filesystem: its file checks are not used, and the
    # 32-bit Windows build would import more than it needs.
    target_compile_definitions(zav_header_libraries INTERFACE CLI11_HAS_FILESYSTEM=0)
endif()
