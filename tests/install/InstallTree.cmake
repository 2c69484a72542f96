# cmake -DBUILD=... -DDESTDIR=... -DPREFIX=... -P InstallTree.cmake
# Installs the build into DESTDIR and checks that every file is where the layout says.
file(REMOVE_RECURSE ${DESTDIR})
set(ENV{DESTDIR} ${DESTDIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
set(root ${DESTDIR}${PREFIX})
foreach(path
    lib/selvarin/selvarin lib/selvarin/script/start.lua lib/selvarin/help/index.html
    lib/selvarin/help/script-api.html lib/selvarin/plugins/png.spi lib/selvarin/plugins/archive.spi
    include/selvarin/spi.h lib/pkgconfig/selvarin-spi.pc share/applications/selvarin.desktop
    share/metainfo/org.selvarin.Selvarin.metainfo.xml share/icons/hicolor/scalable/apps/selvarin.svg
    share/icons/hicolor/16x16/apps/selvarin.png share/icons/hicolor/48x48/apps/selvarin.png
    share/icons/hicolor/256x256/apps/selvarin.png)
  if(NOT EXISTS ${root}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
if(NOT IS_SYMLINK ${root}/bin/selvarin)
  message(FATAL_ERROR "bin/selvarin is not a symbolic link")
endif()
file(READ_SYMLINK ${root}/bin/selvarin target)
if(NOT target STREQUAL "../lib/selvarin/selvarin")
  message(FATAL_ERROR "bin/selvarin points to ${target}")
endif()
# The library by its soname, which the programs ask for.
file(GLOB libs ${root}/lib*/libselvarin-spi.so.1 ${root}/lib/*/libselvarin-spi.so.1)
if(NOT libs)
  message(FATAL_ERROR "libselvarin-spi.so.1 not installed")
endif()
execute_process(COMMAND readelf -d ${libs} OUTPUT_VARIABLE dynamic)
if(NOT dynamic MATCHES "SONAME[^\n]*libselvarin-spi\\.so\\.1\\]")
  message(FATAL_ERROR "libselvarin-spi has no soname libselvarin-spi.so.1:\n${dynamic}")
endif()
# A plug-in author's build: the header and the library through pkg-config, from the installed tree.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${root}/lib/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs selvarin-spi OUTPUT_VARIABLE flags RESULT_VARIABLE failed
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX MATCH "-I([^ ]+)" include_flag "${flags}")
  if(failed OR NOT EXISTS ${CMAKE_MATCH_1}/selvarin/spi.h)
    message(FATAL_ERROR "pkg-config does not lead to the installed header: ${flags}")
  endif()
endif()
