# CLI11 (command line), nlohmann/json (JSON) and toml++ (configuration texts)
# are header-only, from the Debian packages libcli11-dev, nlohmann-json3-dev
# and libtomlplusplus-dev. The cross-compilers must not search /usr/include
# as a whole (its C library is glibc's), so the libraries are linked into a
# folder of their own in the build tree.
if(NOT TARGET zav_header_libraries)
    set(ZAV_HEADER_LIBRARIES_DIR ${CMAKE_BINARY_DIR}/header-libraries)
    foreach(library CLI nlohmann toml++)
        if(NOT EXISTS /usr/include/${library})
            message(FATAL_ERROR "/usr/include/${library} is missing: install libcli11-dev, nlohmann-json3-dev and "
                                "libtomlplusplus-dev (tools/setup.sh does)")
        endif()
        file(MAKE_DIRECTORY ${ZAV_HEADER_LIBRARIES_DIR})
        file(CREATE_LINK /usr/include/${library} ${ZAV_HEADER_LIBRARIES_DIR}/${library} SYMBOLIC)
    endforeach()
    add_library(zav_header_libraries INTERFACE)
    target_include_directories(zav_header_libraries SYSTEM INTERFACE ${ZAV_HEADER_LIBRARIES_DIR})
    # CLI11 without std::filesystem: its file checks are not used, and the
    # 32-bit Windows build would import more than it needs.
    target_compile_definitions(zav_header_libraries INTERFACE CLI11_HAS_FILESYSTEM=0)
    # toml++ compiled into the file that parses (the Debian package also
    # ships a shared library, which the static programs do not want), without
    # its wide-string Windows extras, which would pull in <windows.h>.
    # Errors come back as values, not exceptions, whatever -fexceptions says
    # where it is included: a faulty text is an expected outcome that the
    # caller turns into a message with line and column, and the same mode in
    # every file keeps one ABI of the library in the program. It also lets
    # the text code move into the exception-free core unchanged.
    target_compile_definitions(zav_header_libraries INTERFACE TOML_HEADER_ONLY=1 TOML_EXCEPTIONS=0
                                                              TOML_ENABLE_WINDOWS_COMPAT=0)
endif()
