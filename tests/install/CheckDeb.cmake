# cmake -DBUILD=... -DOUT=... -P CheckDeb.cmake
# Builds the Debian package and checks its files and the dependencies found for the libraries.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND cpack -G DEB --config ${BUILD}/CPackConfig.cmake -B ${OUT}
                RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB debs ${OUT}/*.deb)
if(failed OR NOT debs)
  message(FATAL_ERROR "cpack failed:\n${log}")
endif()
execute_process(COMMAND dpkg-deb --contents ${debs} OUTPUT_VARIABLE contents)
foreach(path
    ./usr/lib/selvarin/selvarin ./usr/lib/selvarin/script/start.lua ./usr/lib/selvarin/help/index.html
    ./usr/lib/selvarin/plugins/png.spi ./usr/include/selvarin/spi.h ./usr/share/applications/selvarin.desktop
    ./usr/share/metainfo/org.selvarin.Selvarin.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/selvarin.svg
    libselvarin-spi.so.1 selvarin-spi.pc)
  string(FIND "${contents}" "${path}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "not in the package: ${path}\n${contents}")
  endif()
endforeach()
if(NOT contents MATCHES "\\./usr/bin/selvarin -> \\.\\./lib/selvarin/selvarin")
  message(FATAL_ERROR "no link /usr/bin/selvarin in the package:\n${contents}")
endif()
execute_process(COMMAND dpkg-deb --field ${debs} Depends OUTPUT_VARIABLE depends)
foreach(library libqt6widgets6 libjpeg62-turbo libicu libpng16-16 libarchive13 libwebp libtiff libgif libqscintilla2-qt6)
  string(FIND "${depends}" "${library}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package does not depend on ${library}: ${depends}")
  endif()
endforeach()
