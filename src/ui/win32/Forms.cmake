# The Win32 window's forms (the duration editor, the About window) and its resources: the
# icon (drawn at build time by data/make-icons.py and packed into an .ico), the version
# information and the manifest (common controls 6, UTF-8 as the code page, per-monitor DPI
# awareness). Included by this folder's CMakeLists.txt, which makes the `brenzo` target, and by
# the tests, which build the forms into a test program of their own.
include_guard(GLOBAL)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(BRENZO_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})
set(BRENZO_WIN32_OUT ${PROJECT_BINARY_DIR}/win32-resources)
set(BRENZO_ICON_SIZES 16 24 32 48 64 256)
set(brenzo_icon_pngs "")
foreach(size ${BRENZO_ICON_SIZES})
  list(APPEND brenzo_icon_pngs ${BRENZO_WIN32_OUT}/brenzo-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${BRENZO_WIN32_OUT}/brenzo.ico
  COMMAND ${CMAKE_COMMAND} -E make_directory ${BRENZO_WIN32_OUT}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/data/make-icons.py ${BRENZO_WIN32_OUT} ${BRENZO_ICON_SIZES}
  COMMAND Python3::Interpreter ${BRENZO_WIN32_DIR}/make-ico.py ${BRENZO_WIN32_OUT}/brenzo.ico ${brenzo_icon_pngs}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/make-icons.py ${BRENZO_WIN32_DIR}/make-ico.py
  COMMENT "Drawing the Windows icon")
add_custom_target(brenzo_win32_icon DEPENDS ${BRENZO_WIN32_OUT}/brenzo.ico)

# The icon's own .rc names the generated file by its full path.
file(WRITE ${BRENZO_WIN32_OUT}/icon.rc.in "1 ICON \"@BRENZO_ICON@\"\n")
set(BRENZO_ICON ${BRENZO_WIN32_OUT}/brenzo.ico)
configure_file(${BRENZO_WIN32_OUT}/icon.rc.in ${BRENZO_WIN32_OUT}/icon.rc @ONLY)

# The version as the resource wants it: four numbers.
set(BRENZO_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
if(PROJECT_VERSION_PATCH)
  set(BRENZO_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
endif()
set(BRENZO_MANIFEST ${BRENZO_WIN32_DIR}/brenzo.manifest)
configure_file(${BRENZO_WIN32_DIR}/brenzo.rc.in ${BRENZO_WIN32_OUT}/brenzo.rc @ONLY)

# brenzo_win32_forms(target): the forms, their dialog templates and the icon they show.
function(brenzo_win32_forms target)
  # Called from other folders too, where this folder's variables are not set.
  set(BRENZO_WIN32_DIR ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set(BRENZO_WIN32_OUT ${PROJECT_BINARY_DIR}/win32-resources)
  target_sources(${target} PRIVATE
    ${BRENZO_WIN32_DIR}/TAboutForm.cpp
    ${BRENZO_WIN32_DIR}/TForm14.cpp
    ${BRENZO_WIN32_DIR}/TimeMask.cpp
    ${BRENZO_WIN32_DIR}/Forms.rc
    ${BRENZO_WIN32_OUT}/icon.rc)
  # Compiled one by one: the unity batches would share their file-local names.
  set_source_files_properties(${BRENZO_WIN32_DIR}/TAboutForm.cpp ${BRENZO_WIN32_DIR}/TForm14.cpp
                              ${BRENZO_WIN32_DIR}/TimeMask.cpp PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  add_dependencies(${target} brenzo_win32_icon)
  target_link_libraries(${target} PRIVATE comctl32)
endfunction()

if(TARGET brenzo)
  brenzo_win32_forms(brenzo)
  # The editor's manifest holds the UTF-8 code page itself; the one that brenzo-cli carries
  # alone would be a second manifest of the same id.
  get_target_property(brenzo_sources brenzo SOURCES)
  list(REMOVE_ITEM brenzo_sources ${CMAKE_BINARY_DIR}/utf8-manifest.rc)
  set_property(TARGET brenzo PROPERTY SOURCES ${brenzo_sources})
  target_sources(brenzo PRIVATE ${BRENZO_WIN32_OUT}/brenzo.rc)
  set_source_files_properties(${BRENZO_WIN32_OUT}/brenzo.rc PROPERTIES OBJECT_DEPENDS ${BRENZO_MANIFEST})
endif()
