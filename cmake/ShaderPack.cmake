# The built-in shader pack, made at build time and compiled into the library:
#  1. base_shaders.cpp is compiled for the target (its tokens come from the
#     platform's d3d9 headers) and its .vxshd section copied out as raw bytes;
#  2. make_shader_pack, built with the host's compiler (it needs no Windows),
#     packs them into an archive through the packer's writer and writes the
#     LZ block as C++ source;
#  3. that source joins the library.
find_program(VEXIL_HOST_CXX NAMES c++ g++ clang++ REQUIRED)

add_library(vexil_base_shaders OBJECT ${CMAKE_SOURCE_DIR}/tools/shader_pack/base_shaders.cpp)
target_compile_options(vexil_base_shaders PRIVATE ${VEXIL_WARNINGS})

set(VEXIL_SHADER_PACK_DIR ${CMAKE_BINARY_DIR}/generated)
set(VEXIL_SHADER_PACK_TOOL ${CMAKE_BINARY_DIR}/host/make_shader_pack)
set(VEXIL_SHADER_PACK_TOOL_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/shader_pack/make_shader_pack.cpp
  ${CMAKE_SOURCE_DIR}/tools/packer/archive_writer.cpp
  ${CMAKE_SOURCE_DIR}/tools/packer/lz_encoder.cpp)

add_custom_command(OUTPUT ${VEXIL_SHADER_PACK_TOOL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${VEXIL_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -Werror -Wno-unused-parameter
          -I${CMAKE_SOURCE_DIR} ${VEXIL_SHADER_PACK_TOOL_SOURCES} -o ${VEXIL_SHADER_PACK_TOOL}
  DEPENDS ${VEXIL_SHADER_PACK_TOOL_SOURCES}
          ${CMAKE_SOURCE_DIR}/graphics/shader_pack_layout.h
          ${CMAKE_SOURCE_DIR}/runtime/file/archive_format.h
          ${CMAKE_SOURCE_DIR}/tools/packer/archive_writer.h
          ${CMAKE_SOURCE_DIR}/tools/packer/lz_encoder.h
  COMMENT "Building make_shader_pack for the host"
  VERBATIM)

add_custom_command(OUTPUT ${VEXIL_SHADER_PACK_DIR}/shader_pack_block.cpp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VEXIL_SHADER_PACK_DIR}
  COMMAND ${CMAKE_OBJCOPY} -O binary --only-section=.vxshd $<TARGET_OBJECTS:vexil_base_shaders>
          ${VEXIL_SHADER_PACK_DIR}/base_shaders.bin
  COMMAND ${VEXIL_SHADER_PACK_TOOL} ${VEXIL_SHADER_PACK_DIR}/base_shaders.bin
          ${VEXIL_SHADER_PACK_DIR}/shader_pack_block.cpp
  DEPENDS ${VEXIL_SHADER_PACK_TOOL} vexil_base_shaders $<TARGET_OBJECTS:vexil_base_shaders>
  COMMENT "Writing the built-in shader pack"
  VERBATIM)

target_sources(vexil PRIVATE ${VEXIL_SHADER_PACK_DIR}/shader_pack_block.cpp)
