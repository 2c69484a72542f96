# The installed layout. The program folder PREFIX/lib/selvarin holds the executable with its
# script/, plugins/ and help/ folders, because the viewer finds them beside its own executable;
# PREFIX/bin/selvarin is a symbolic link to it. Every path below is relative to the prefix, and
# the programs find their library through $ORIGIN, so any PREFIX (and DESTDIR) works.

# The help: the Markdown of docs/ as HTML in bin/help, beside the built viewer as beside the
# installed one. The first page is the manual (index.html), which the Help command opens.
set(SELVARIN_HELP_PAGES
  ${CMAKE_SOURCE_DIR}/docs/manual.md
  ${CMAKE_SOURCE_DIR}/docs/script-api.md
  ${CMAKE_SOURCE_DIR}/docs/plugins.md)
# A Python with the Markdown module: Debian's, which a Python of the user's own may shadow on PATH.
if(NOT SELVARIN_PYTHON)
  foreach(candidate /usr/bin/python3 python3)
    find_program(python_candidate NAMES ${candidate} NO_CACHE)
    if(python_candidate)
      execute_process(COMMAND ${python_candidate} -c "import markdown" RESULT_VARIABLE no_markdown
                      OUTPUT_QUIET ERROR_QUIET)
      if(no_markdown EQUAL 0)
        set(SELVARIN_PYTHON ${python_candidate} CACHE FILEPATH "Python 3 with the markdown module")
        break()
      endif()
    endif()
    unset(python_candidate)
  endforeach()
endif()
if(NOT SELVARIN_PYTHON)
  message(FATAL_ERROR "The help needs Python 3 with the markdown module (Debian: python3-markdown); run tools/install-deps.sh")
endif()
set(help_dir ${CMAKE_BINARY_DIR}/bin/help)
set(help_outputs ${help_dir}/index.html)
foreach(page ${SELVARIN_HELP_PAGES})
  if(NOT page STREQUAL "${CMAKE_SOURCE_DIR}/docs/manual.md")
    get_filename_component(stem ${page} NAME_WE)
    list(APPEND help_outputs ${help_dir}/${stem}.html)
  endif()
endforeach()
add_custom_command(OUTPUT ${help_outputs}
  COMMAND ${SELVARIN_PYTHON} ${CMAKE_SOURCE_DIR}/tools/build-help.py ${help_dir} ${SELVARIN_HELP_PAGES}
  DEPENDS ${SELVARIN_HELP_PAGES} ${CMAKE_SOURCE_DIR}/tools/build-help.py
  COMMENT "Building the HTML help")
add_custom_target(html_help ALL DEPENDS ${help_outputs})

# Icons at the sizes desktops look for, drawn from the scalable one.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(SELVARIN_ICON_SIZES 16 22 24 32 48 64 128 256 512)
set(icon_svg ${CMAKE_SOURCE_DIR}/resources/icons/selvarin.svg)
set(icon_outputs)
foreach(size ${SELVARIN_ICON_SIZES})
  set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/selvarin.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
    DEPENDS ${icon_svg})
  list(APPEND icon_outputs ${png})
endforeach()
add_custom_target(icons ALL DEPENDS ${icon_outputs})

# The program folder and the link on PATH.
set_target_properties(selvarin PROPERTIES INSTALL_RPATH "$ORIGIN/${SELVARIN_APP_TO_LIBDIR}")
install(TARGETS selvarin RUNTIME DESTINATION ${SELVARIN_APPDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/script/ DESTINATION ${SELVARIN_APPDIR}/script)
install(DIRECTORY ${help_dir}/ DESTINATION ${SELVARIN_APPDIR}/help)
file(RELATIVE_PATH bin_to_program /${CMAKE_INSTALL_BINDIR} /${SELVARIN_APPDIR}/selvarin)
install(CODE "
  set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bindir}\")
  message(STATUS \"Installing: \${bindir}/selvarin -> ${bin_to_program}\")
  file(CREATE_LINK \"${bin_to_program}\" \"\${bindir}/selvarin\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${bindir}/selvarin\")")

# Desktop integration: the menu entry with every type we read, the icons, the AppStream record.
install(FILES ${CMAKE_SOURCE_DIR}/resources/selvarin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
string(TIMESTAMP SELVARIN_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${CMAKE_SOURCE_DIR}/resources/org.selvarin.Selvarin.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/org.selvarin.Selvarin.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.selvarin.Selvarin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# For plug-in authors: pkg-config finds the header and the library, wherever the prefix is.
file(RELATIVE_PATH pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/selvarin-spi.pc.in ${CMAKE_BINARY_DIR}/selvarin-spi.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/selvarin-spi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

include(cmake/Packaging.cmake)
