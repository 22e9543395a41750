# Runs the built kova to print its shell completion and its manual page
# (generate.cpp) into OUT: kova.bash, _kova, kova.1. A file appears whole or
# not at all.
#   cmake -DKOVA=path/to/kova -DOUT=dir -P generate.cmake
file(MAKE_DIRECTORY ${OUT})
function(generate name)
  execute_process(COMMAND ${KOVA} ${ARGN} OUTPUT_FILE ${OUT}/${name}.tmp RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(REMOVE ${OUT}/${name}.tmp)
    message(FATAL_ERROR "${KOVA} ${ARGN} failed: ${status}")
  endif()
  file(RENAME ${OUT}/${name}.tmp ${OUT}/${name})
endfunction()
generate(kova.bash --completion bash)
generate(_kova --completion zsh)
generate(kova.1 --man)
