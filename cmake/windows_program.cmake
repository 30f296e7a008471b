# The Windows program: GUI subsystem, resources through windres, statically
# linked so that it imports only system DLLs.
enable_language(RC)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The icon is drawn as text (res/symbol_zav.txt) and turned into a 16-colour
# .ico at build time, so the repository holds its source, not a binary.
set(ZAV_ICON ${CMAKE_BINARY_DIR}/res/symbol_zav.ico)
add_custom_command(
    OUTPUT ${ZAV_ICON}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_icon.py
            ${CMAKE_SOURCE_DIR}/res/symbol_zav.txt ${ZAV_ICON}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${CMAKE_SOURCE_DIR}/res/symbol_zav.txt
    COMMENT "Drawing the program icon")
add_custom_target(zav_icon DEPENDS ${ZAV_ICON})

# The line settings, shared with zavctl.exe.
add_library(zav_port_settings STATIC link/port_settings_win32.cpp)
target_include_directories(zav_port_settings PUBLIC ${CMAKE_SOURCE_DIR})

add_executable(zavkonfig WIN32 ${ZAV_SHELL_SOURCES} res/zavkonfig.rc)
add_dependencies(zavkonfig zav_icon)
set_source_files_properties(res/zavkonfig.rc PROPERTIES OBJECT_DEPENDS ${ZAV_ICON})
target_include_directories(zavkonfig PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/res)
target_compile_definitions(zavkonfig PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
# comdlg32 is loaded when a file dialog is first opened (config/config_file_win32.cpp).
target_link_libraries(zavkonfig PRIVATE zavcore zav_port_settings comctl32)
set_target_properties(zavkonfig PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
