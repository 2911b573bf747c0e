# What `cmake --install` and the Debian package put on a system besides the program and its help
# (installed where they are built): the command-line tool, the menu entry, icons, AppStream
# metadata and manual pages. The simulator, the benchmarks and the tests have no install rules:
# they are development tools and stay in the build tree.
set(farlight_data ${PROJECT_SOURCE_DIR}/data)
set(farlight_generated ${PROJECT_BINARY_DIR}/data)

# Lets the program report FARLIGHT_APP_ID as its desktop file name.
target_compile_definitions(farlight PRIVATE FARLIGHT_APP_ID="${FARLIGHT_APP_ID}")

set(farlight_binaries farlight)
set(farlight_man_pages ${farlight_generated}/farlight.1)
configure_file(${farlight_data}/farlight.1.in ${farlight_generated}/farlight.1 @ONLY)
if(TARGET farlight-cli)
    install(TARGETS farlight-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND farlight_binaries farlight-cli)
    if(EXISTS ${PROJECT_SOURCE_DIR}/src/cli/farlight-cli.1)
        configure_file(${PROJECT_SOURCE_DIR}/src/cli/farlight-cli.1 ${farlight_generated}/farlight-cli.1 COPYONLY)
        list(APPEND farlight_man_pages ${farlight_generated}/farlight-cli.1)
    endif()
    # Where bash-completion looks for a command's completion when it is first completed.
    install(FILES ${PROJECT_SOURCE_DIR}/src/cli/farlight-cli.bash
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME farlight-cli)
endif()

# Manual pages are installed compressed, as Debian's policy asks; -n keeps the name and time out
# of the archive, so the same page always gives the same package.
if(UNIX)
    find_program(FARLIGHT_GZIP gzip REQUIRED)
    set(compressed_pages)
    foreach(page IN LISTS farlight_man_pages)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${FARLIGHT_GZIP} -9nkf ${page}
            DEPENDS ${page}
            VERBATIM)
        list(APPEND compressed_pages ${page}.gz)
    endforeach()
    add_custom_target(farlight_man_pages ALL DEPENDS ${compressed_pages})
    install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# AppStream lists the programs the package provides.
list(TRANSFORM farlight_binaries REPLACE "(.+)" "    <binary>\\1</binary>" OUTPUT_VARIABLE binary_lines)
list(JOIN binary_lines "\n" FARLIGHT_METAINFO_BINARIES)
configure_file(${farlight_data}/farlight.desktop.in ${farlight_generated}/${FARLIGHT_APP_ID}.desktop @ONLY)
configure_file(${farlight_data}/farlight.metainfo.xml.in ${farlight_generated}/${FARLIGHT_APP_ID}.metainfo.xml @ONLY)
install(FILES ${farlight_generated}/${FARLIGHT_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${farlight_generated}/${FARLIGHT_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon theme's fallback: a drawing for any size, and pixel images for the usual ones
# (rendered by data/icons/render.sh and committed, so building needs no SVG renderer).
set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${farlight_data}/icons/scalable/farlight.svg
    DESTINATION ${icon_dir}/scalable/apps RENAME ${FARLIGHT_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${farlight_data}/icons/${size}x${size}/farlight.png
        DESTINATION ${icon_dir}/${size}x${size}/apps RENAME ${FARLIGHT_APP_ID}.png)
endforeach()
