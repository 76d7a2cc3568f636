# Links one firmware image (the driver, or the platform image of qemu/), run
# by its image target as
#   cmake -DLLD_LINK=... -DLLVM_READOBJ=... -DLINK_FLAGS=... -DOBJECTS=... -DIMAGE=... -P LinkImage.cmake
#
# An image may not have global constructors: nothing in firmware would run
# them. Clang puts their pointers in .CRT$XC* sections for this target (and
# .init_array or .ctors for ELF-style ones); any such section fails the link.

foreach(object ${OBJECTS})
  execute_process(COMMAND ${LLVM_READOBJ} --sections ${object}
                  OUTPUT_VARIABLE sections RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "llvm-readobj could not read ${object}")
  endif()
  string(REGEX MATCHALL "Name: (\\.CRT\\$XC[A-Z]*|\\.init_array[.0-9]*|\\.ctors[.0-9]*) " constructors "${sections}")
  if(constructors)
    string(REGEX REPLACE "Name: ([^ ;]+) " "\\1" constructors "${constructors}")
    message(FATAL_ERROR "${object} has global constructors (${constructors}); "
                        "firmware images must not need any")
  endif()
endforeach()

get_filename_component(image_dir ${IMAGE} DIRECTORY)
get_filename_component(image_stem ${IMAGE} NAME_WE)
set(response ${image_dir}/${image_stem}.rsp)
string(REPLACE ";" "\n" response_text "${OBJECTS}")
file(WRITE ${response} "${response_text}\n")

execute_process(COMMAND ${LLD_LINK} ${LINK_FLAGS} /out:${IMAGE} @${response} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${IMAGE})
  message(FATAL_ERROR "lld-link failed for ${IMAGE}")
endif()

file(SIZE ${IMAGE} image_size)
get_filename_component(image_name ${IMAGE} NAME)
message("${image_name}: ${image_size} bytes")
