# stb_vorbis from Debian's libstb-dev, for the Windows engine's OGG Vorbis decoding. The header
# is copied into a folder of its own, so that the rest of /usr/include never reaches the Windows
# build, and one fault is mended on the way: for a residue of type 2 the decoder clamps the
# interleaved vector to two channels' length, so every file whose channels share such a residue
# beyond two (5.1 files, as libvorbis writes them) decoded to noise without an error.
set(BRENZO_STB_VORBIS_SOURCE /usr/include/stb/stb_vorbis.h CACHE FILEPATH "stb_vorbis.h (libstb-dev)")
if(NOT EXISTS ${BRENZO_STB_VORBIS_SOURCE})
  message(FATAL_ERROR "${BRENZO_STB_VORBIS_SOURCE} is missing: install libstb-dev (scripts/setup does)")
endif()
set(BRENZO_STB_INCLUDE ${CMAKE_BINARY_DIR}/private-include)
file(READ ${BRENZO_STB_VORBIS_SOURCE} _stb)
set(_clamp "unsigned int actual_size = rtype == 2 ? n*2 : n;")
string(FIND "${_stb}" "${_clamp}" _at)
if(_at EQUAL -1)
  string(FIND "${_stb}" "unsigned int actual_size = rtype == 2 ? n*ch : n;" _mended)
  if(_mended EQUAL -1)
    message(FATAL_ERROR "${BRENZO_STB_VORBIS_SOURCE}: the residue length line was not found; check the decoder of "
                        "multichannel files before using this version")
  endif()
else()
  string(REPLACE "${_clamp}" "unsigned int actual_size = rtype == 2 ? n*ch : n;" _stb "${_stb}")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/stb_vorbis.h.new "${_stb}")
configure_file(${CMAKE_BINARY_DIR}/stb_vorbis.h.new ${BRENZO_STB_INCLUDE}/stb/stb_vorbis.h COPYONLY)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${BRENZO_STB_VORBIS_SOURCE})
