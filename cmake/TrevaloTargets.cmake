# Compile settings shared by every target of our own code.
add_library(trevalo_options INTERFACE)
# Designated initializers may leave members to their defaults. GCC 12's -Wrestrict reports
# copies inside std::string that cannot overlap (GCC bug 105329).
target_compile_options(trevalo_options INTERFACE -Wall -Wextra -Wpedantic -Werror
                       -Wno-missing-field-initializers
                       $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
target_compile_definitions(trevalo_options INTERFACE
  QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  TREVALO_VERSION="${PROJECT_VERSION}"
  TREVALO_INSTALL_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}/trevalo")

# trevalo_engine_library(NAME SOURCES... LINKS...): a GUI-free static library of the engine.
function(trevalo_engine_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC Qt6::Core ${ARG_LINKS} PRIVATE trevalo_options)
endfunction()
