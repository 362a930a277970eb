# The built-in fonts and palettes: tools/pack_builtin turns the glyph sources
# of gfx/text/fonts/ and its palette tables into a packed stream, written as a
# C++ source in the build tree and compiled into sg_gfx. The packer runs on the
# build machine, so a cross build compiles it with the host's compiler.

set(SG_BUILTIN_FONTS
    ${CMAKE_SOURCE_DIR}/gfx/text/fonts/font_8x8.txt
    ${CMAKE_SOURCE_DIR}/gfx/text/fonts/font_8x14.txt
    ${CMAKE_SOURCE_DIR}/gfx/text/fonts/font_8x16.txt)
set(SG_PACKER_SOURCES
    ${CMAKE_SOURCE_DIR}/tools/pack_builtin.cpp
    ${CMAKE_SOURCE_DIR}/tools/lzw12_pack.cpp
    ${CMAKE_SOURCE_DIR}/tools/glyph_text.cpp
    ${CMAKE_SOURCE_DIR}/tools/default_palettes.cpp)
set(SG_PACKER_HEADERS
    ${CMAKE_SOURCE_DIR}/gfx/text/builtin_data.h
    ${CMAKE_SOURCE_DIR}/tools/lzw12_pack.h
    ${CMAKE_SOURCE_DIR}/tools/glyph_text.h
    ${CMAKE_SOURCE_DIR}/tools/default_palettes.h)
set(SG_BUILTIN_STREAM ${CMAKE_BINARY_DIR}/generated/builtin_packed.cpp)

if(SG_WIN32)
  set(SG_HOST_CXX c++ CACHE STRING "C++ compiler of the build machine, for the build-time tools")
  set(SG_PACKER ${CMAKE_BINARY_DIR}/host/pack_builtin)
  add_custom_command(
    OUTPUT ${SG_PACKER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${SG_HOST_CXX} -O2 -std=c++17 -Wall -Wextra -Werror -I${CMAKE_SOURCE_DIR}
            ${SG_PACKER_SOURCES} -o ${SG_PACKER}
    DEPENDS ${SG_PACKER_SOURCES} ${SG_PACKER_HEADERS}
    COMMENT "Building the host packer pack_builtin"
    VERBATIM)
  set(SG_PACKER_DEPENDS ${SG_PACKER})
else()
  add_executable(pack_builtin ${SG_PACKER_SOURCES})
  target_include_directories(pack_builtin PRIVATE ${CMAKE_SOURCE_DIR})
  set(SG_PACKER $<TARGET_FILE:pack_builtin>)
  set(SG_PACKER_DEPENDS pack_builtin)
endif()

add_custom_command(
  OUTPUT ${SG_BUILTIN_STREAM}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${SG_PACKER} ${CMAKE_SOURCE_DIR}/gfx/text/fonts ${SG_BUILTIN_STREAM}
  DEPENDS ${SG_PACKER_DEPENDS} ${SG_BUILTIN_FONTS}
  COMMENT "Packing the built-in fonts and palettes"
  VERBATIM)
target_sources(sg_gfx PRIVATE ${SG_BUILTIN_STREAM})

# The encoder, for the tests' round trips through the unpacker.
add_library(sg_lzw12_pack STATIC EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tools/lzw12_pack.cpp)
target_include_directories(sg_lzw12_pack PUBLIC ${CMAKE_SOURCE_DIR})
