# The platform image (target platform-image): a UEFI application that runs
# the scenarios inside OVMF, built like the driver image by efi/CMakeLists.txt,
# which includes this file after its own targets so that the functions and
# the common objects (C run-time, cJSON, GUIDs) are shared. It holds the
# simulated platform of sim/ (the very sources nvdimm-emu runs) and the glue
# of this folder (qemu/image/), and lands in ${CMAKE_BINARY_DIR}/qemu/
# (build/qemu/), where `nvdimm-emu run --platform qemu` looks for it beside
# ../efi/.

file(GLOB platform_glue_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
set(platform_objects)
nvdimm_image_tree_objects(platform_objects ${NVDIMM_SIM_SOURCES} ${platform_glue_sources})
set(NVDIMM_PLATFORM_IMAGE ${CMAKE_BINARY_DIR}/qemu/NvdimmPlatform.efi)
nvdimm_link_image(TARGET platform-image IMAGE ${NVDIMM_PLATFORM_IMAGE} SUBSYSTEM efi_application
                  ENTRY PlatformMain OBJECTS ${platform_objects})
set(NVDIMM_PLATFORM_IMAGE ${NVDIMM_PLATFORM_IMAGE} PARENT_SCOPE)
