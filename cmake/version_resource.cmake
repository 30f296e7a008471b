# zav_version_resource(TARGET DESCRIPTION): gives a Windows exe its version
# resource, with the version from the file VERSION (ZAV_VERSION, read by the
# top CMakeLists.txt) and the exe's own name and description.
function(zav_version_resource target description)
    set(ZAV_RC_FILE_NAME ${target}.exe)
    set(ZAV_RC_INTERNAL_NAME ${target})
    set(ZAV_RC_DESCRIPTION "${description}")
    set(script ${CMAKE_BINARY_DIR}/res/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version_info.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
endfunction()
