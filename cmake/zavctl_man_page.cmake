# zavctl's German man page, made beside zavctl by a native build
# (build/native/zavctl.1; read it with "man ./build/native/zavctl.1"), the
# same page the Debian package installs: help2man runs zavctl's own help,
# with debian/zavctl.h2m and each command's help as sections
# (debian/command_sections.py). help2man needs a German UTF-8 locale for
# its headings and umlauts, which a fresh machine has not generated: one
# is made in the build tree, as debian/rules does. A cross build cannot run
# zavctl, and a machine without help2man gets no page (said once).
find_program(ZAV_HELP2MAN help2man)
find_program(ZAV_LOCALEDEF localedef)
find_package(Python3 COMPONENTS Interpreter)
if(NOT ZAV_HELP2MAN OR NOT ZAV_LOCALEDEF OR NOT Python3_Interpreter_FOUND)
    message(STATUS "zavctl's man page is not made: help2man, localedef or Python 3 is missing")
    return()
endif()

set(ZAV_MAN_LOCALES ${CMAKE_BINARY_DIR}/locale)
set(ZAV_MAN_SECTIONS ${CMAKE_BINARY_DIR}/zavctl-befehle.h2m)
add_custom_command(
    OUTPUT ${ZAV_MAN_LOCALES}/de_DE.UTF-8/LC_CTYPE
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZAV_MAN_LOCALES}
    COMMAND ${ZAV_LOCALEDEF} -i de_DE -f UTF-8 ${ZAV_MAN_LOCALES}/de_DE.UTF-8
    COMMENT "A German locale for help2man"
    VERBATIM)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/zavctl.1
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/debian/command_sections.py $<TARGET_FILE:zavctl>
            ${ZAV_MAN_SECTIONS}
    COMMAND ${CMAKE_COMMAND} -E env LOCPATH=${ZAV_MAN_LOCALES}
            ${ZAV_HELP2MAN} --locale=de_DE.UTF-8 --no-info
            "--name=den ZAV 160 von der Kommandozeile konfigurieren"
            --include=${CMAKE_SOURCE_DIR}/debian/zavctl.h2m --include=${ZAV_MAN_SECTIONS}
            --output=${CMAKE_BINARY_DIR}/zavctl.1 $<TARGET_FILE:zavctl>
    DEPENDS zavctl ${ZAV_MAN_LOCALES}/de_DE.UTF-8/LC_CTYPE ${CMAKE_SOURCE_DIR}/debian/zavctl.h2m
            ${CMAKE_SOURCE_DIR}/debian/command_sections.py
    COMMENT "zavctl's man page"
    VERBATIM)
add_custom_target(zavctl_man_page ALL DEPENDS ${CMAKE_BINARY_DIR}/zavctl.1)
