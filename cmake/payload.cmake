# The deliverables packed for the setup program, which carries them as resources and expands
# them with installer/payload_codec.cpp.
#
#   NVR_PAYLOAD_DIR   where the packed files are made: ${CMAKE_BINARY_DIR}/payload
#   ${NVR_PAYLOAD_DIR}/nvrss32.scr.packed, ${NVR_PAYLOAD_DIR}/NPNVR.DLL.packed
#                     outputs of custom commands, remade when the deliverable or the packer changes
#   nvr_payload       the target that makes both
#
# They are packed from ${DIST_DIR}, the stripped files that ship. The packer runs on the build
# machine, so it is built with the machine's own compiler, outside the cross toolchain: first the
# clang++ that tools/install-deps.sh installs for the native build.
find_program(NVR_HOST_CXX NAMES clang++ c++ g++ REQUIRED)
set(NVR_PACKER ${CMAKE_BINARY_DIR}/host-tools/pack-payload)
set(NVR_PACKER_SOURCES ${CMAKE_SOURCE_DIR}/tools/pack-payload.cpp ${CMAKE_SOURCE_DIR}/installer/payload_codec.cpp)
add_custom_command(OUTPUT ${NVR_PACKER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
  COMMAND ${NVR_HOST_CXX} -O2 -std=c++17 -I${CMAKE_SOURCE_DIR} -o ${NVR_PACKER} ${NVR_PACKER_SOURCES}
  DEPENDS ${NVR_PACKER_SOURCES} ${CMAKE_SOURCE_DIR}/installer/payload_codec.h
  COMMENT "Building the payload packer for the build machine"
  VERBATIM)

set(NVR_PAYLOAD_DIR ${CMAKE_BINARY_DIR}/payload)

# Packs ${DIST_DIR}/NAME, which TARGET ships after each build, into ${NVR_PAYLOAD_DIR}/NAME.packed.
# Depending on the target makes the command wait for it and run again whenever it is relinked,
# which is when the shipped copy changes.
function(nvr_pack_payload target name)
  add_custom_command(OUTPUT ${NVR_PAYLOAD_DIR}/${name}.packed
    COMMAND ${CMAKE_COMMAND} -E make_directory ${NVR_PAYLOAD_DIR}
    COMMAND ${NVR_PACKER} ${DIST_DIR}/${name} ${NVR_PAYLOAD_DIR}/${name}.packed
    DEPENDS ${target} ${NVR_PACKER}
    COMMENT "Packing ${name} for the setup program"
    VERBATIM)
endfunction()

nvr_pack_payload(nvrss32 nvrss32.scr)
nvr_pack_payload(NPNVR NPNVR.DLL)
add_custom_target(nvr_payload DEPENDS ${NVR_PAYLOAD_DIR}/nvrss32.scr.packed ${NVR_PAYLOAD_DIR}/NPNVR.DLL.packed)
