# cJSON, the one JSON library of every build: Debian's source package,
# unpacked into the build directory (or a tree the user names), compiled into
# the host library cjson_host here and into the firmware images by efi/. All
# of them use one nesting limit, NVDIMM_JSON_NESTING_LIMIT: the parser
# recurses once per nested array or object, and DXE runs the driver on one
# stack of 128 KiB with no guard page (OVMF), so the library's own limit of
# 1000 levels would let a body run the parse past the end of the stack. The
# library refuses a document nested deeper at the bracket that opens the
# level too many, after its own byte-order-mark and syntax handling.
#
# The release must be the one Debian's libcjson-dev declares, so the tree and
# the packaged library stay one cJSON.

set(NVDIMM_JSON_NESTING_LIMIT 64)

set(NVDIMM_CJSON_SOURCE_DIR "" CACHE PATH
    "A cJSON source tree (cJSON.c and cJSON.h) to build instead of Debian's source package")

function(nvdimm_cjson_version header out)
  file(STRINGS ${header} lines REGEX "^#define CJSON_VERSION_(MAJOR|MINOR|PATCH) ")
  set(parts)
  foreach(part MAJOR MINOR PATCH)
    string(REGEX MATCH "CJSON_VERSION_${part} ([0-9]+)" match "${lines}")
    list(APPEND parts ${CMAKE_MATCH_1})
  endforeach()
  string(JOIN "." version ${parts})
  set(${out} ${version} PARENT_SCOPE)
endfunction()

# The packaged library: its header names the release, and the run-time tests
# compare against its shared library.
find_path(CJSON_INCLUDE_DIR cJSON.h PATH_SUFFIXES cjson REQUIRED)
find_library(CJSON_LIBRARY cjson REQUIRED)
nvdimm_cjson_version(${CJSON_INCLUDE_DIR}/cJSON.h NVDIMM_CJSON_HOST_VERSION)

if(NVDIMM_CJSON_SOURCE_DIR)
  set(NVDIMM_CJSON_TREE ${NVDIMM_CJSON_SOURCE_DIR})
else()
  set(NVDIMM_CJSON_TREE ${CMAKE_BINARY_DIR}/efi/cjson)
  if(NOT EXISTS ${NVDIMM_CJSON_TREE}/cJSON.c)
    message(STATUS "Fetching Debian's cJSON ${NVDIMM_CJSON_HOST_VERSION} source package")
    execute_process(
      COMMAND bash ${CMAKE_SOURCE_DIR}/efi/fetch-cjson.sh ${CMAKE_BINARY_DIR}/efi
              ${NVDIMM_CJSON_HOST_VERSION}
      RESULT_VARIABLE fetch_result)
    if(NOT fetch_result EQUAL 0)
      message(FATAL_ERROR "fetch-cjson.sh could not unpack cJSON's source package; "
                          "set NVDIMM_CJSON_SOURCE_DIR to a cJSON source tree instead")
    endif()
  endif()
endif()
if(NOT EXISTS ${NVDIMM_CJSON_TREE}/cJSON.c OR NOT EXISTS ${NVDIMM_CJSON_TREE}/cJSON.h)
  message(FATAL_ERROR "${NVDIMM_CJSON_TREE} holds no cJSON.c and cJSON.h")
endif()
nvdimm_cjson_version(${NVDIMM_CJSON_TREE}/cJSON.h NVDIMM_CJSON_TREE_VERSION)
if(NOT NVDIMM_CJSON_TREE_VERSION VERSION_EQUAL NVDIMM_CJSON_HOST_VERSION)
  message(FATAL_ERROR "cJSON ${NVDIMM_CJSON_TREE_VERSION} in ${NVDIMM_CJSON_TREE} differs from "
                      "Debian's libcjson-dev ${NVDIMM_CJSON_HOST_VERSION}; every build must use "
                      "one release")
endif()

# The host library: the same source, the same limit, in every host build
# (emulator, tests, sanitizers, fuzzers, benchmarks).
add_library(cjson_host STATIC ${NVDIMM_CJSON_TREE}/cJSON.c)
set_target_properties(cjson_host PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON)
target_include_directories(cjson_host SYSTEM PUBLIC ${NVDIMM_CJSON_TREE})
target_compile_definitions(cjson_host PUBLIC CJSON_NESTING_LIMIT=${NVDIMM_JSON_NESTING_LIMIT})
