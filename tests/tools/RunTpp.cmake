# Runs tpp once and checks what it did. Called by the tpp_* tests with:
#   TPP      the built tpp (tpp.exe under Wine)
#   RUNNER   the emulator that runs it, empty natively
#   ARGS     its arguments, separated by "|"
#   WORKDIR  the folder it runs in
#   OUT      where its standard output is kept
#   EXIT     the exit status it must give
#   EXPECT   a file that standard output must equal byte for byte (optional)
#   ONE_LINE_ERROR  when true, standard output must be empty and standard
#                   error must hold one message line from tpp
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${RUNNER} ${TPP} ${args}
                WORKING_DIRECTORY "${WORKDIR}"
                OUTPUT_FILE "${OUT}"
                ERROR_VARIABLE err
                RESULT_VARIABLE rc)
if(NOT "${rc}" STREQUAL "${EXIT}")
  message(FATAL_ERROR "tpp ${args}: exit status ${rc}, expected ${EXIT}\nstderr: ${err}")
endif()
if(EXPECT)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}" "${EXPECT}" RESULT_VARIABLE differ)
  if(differ)
    file(READ "${OUT}" got HEX)
    file(READ "${EXPECT}" want HEX)
    message(FATAL_ERROR "tpp ${args}: output differs\n got:  ${got}\n want: ${want}\nstderr: ${err}")
  endif()
endif()
if(ONE_LINE_ERROR)
  file(SIZE "${OUT}" outSize)
  # Wine may add lines of its own; ours are the ones that begin with "tpp".
  # Semicolons would split the matches as a list.
  string(REPLACE ";" "," plain "${err}")
  string(REGEX MATCHALL "(^|\n)tpp [^\n]*" ours "${plain}")
  list(LENGTH ours lines)
  if(NOT outSize EQUAL 0 OR NOT lines EQUAL 1)
    message(FATAL_ERROR "tpp ${args}: expected one message line and no output, got ${outSize} bytes and\n${err}")
  endif()
endif()
