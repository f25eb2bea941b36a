# Checks that Setup.exe carries the seal's block as built: a PE section named .dtseal whose
# contents begin, at the section's own address, with the block's magic ("Korvu seal v1", three
# zero bytes), followed by the unsealed state and zeros.
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DEXE=Setup.exe -P check_seal_section.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -h -s -j .dtseal ${EXE}
                OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR errors MATCHES "not found")
  message(FATAL_ERROR "${EXE} has no .dtseal section: ${errors}")
endif()
string(REGEX MATCHALL "\n *[0-9]+ \\.dtseal +[0-9a-f]+ +([0-9a-f]+)" sections "${dump}")
list(LENGTH sections count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "${EXE} has ${count} .dtseal sections, expected one")
endif()
string(REGEX REPLACE ".*\\.dtseal +[0-9a-f]+ +([0-9a-f]+)" "\\1" address "${sections}")
string(REGEX REPLACE "^0+" "" address "${address}")
message(STATUS ".dtseal at ${address}")
set(block_start " ${address} 4b6f7276 75207365 616c2076 31000000 ")
set(unsealed "00000000 00000000 00000000 00000000")
if(NOT dump MATCHES "Contents of section \\.dtseal:\n${block_start}[^\n]*\n *[0-9a-f]+ ${unsealed} ")
  message(FATAL_ERROR "the .dtseal section of ${EXE} does not begin with the unsealed block:\n${dump}")
endif()
