# Installs the build into a fresh prefix and checks what a package would hold: both programs,
# the README, the desktop entry and the metainfo (each accepted by its validator) and the icon
# in every size. Run as: cmake -DBUILD=... -DPREFIX=... -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(expected
  bin/brenzo bin/brenzo-cli share/doc/Brenzo/README.md
  share/applications/org.brenzo.Brenzo.desktop share/metainfo/org.brenzo.Brenzo.metainfo.xml
  share/icons/hicolor/scalable/apps/brenzo.svg)
foreach(size 16 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/brenzo.png)
endforeach()
foreach(f ${expected})
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# A PNG installed as NxN must be N pixels square: the width and height stand in its header.
foreach(size 16 32 48 64 128 256)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/brenzo.png head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 32 16 dimensions)
  string(SUBSTRING "${dimensions}" 0 8 wide)
  string(SUBSTRING "${dimensions}" 8 8 high)
  math(EXPR w "0x${wide}")
  math(EXPR h "0x${high}")
  if(NOT w EQUAL size OR NOT h EQUAL size)
    message(FATAL_ERROR "the ${size}x${size} icon is ${w}x${h}")
  endif()
endforeach()

execute_process(COMMAND desktop-file-validate ${PREFIX}/share/applications/org.brenzo.Brenzo.desktop
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
execute_process(COMMAND appstreamcli validate --no-net ${PREFIX}/share/metainfo/org.brenzo.Brenzo.metainfo.xml
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate: ${out}")
endif()
file(REMOVE_RECURSE ${PREFIX})
