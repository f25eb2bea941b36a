# Reads the import table of Setup.exe and fails on any DLL that is not on Windows' KnownDLLs list
# (a DLL of that list always comes from the system folder, whatever lies beside the program), and
# on comctl32, which must come only through the manifest's common-controls entry. Then checks
# that the manifest is there and asks for what the installer needs.
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DEXE=Setup.exe -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()

# Windows 7's KnownDLLs, and ntdll, which every process has loaded before anything else.
set(known
  advapi32 clbcatq comdlg32 difxapi gdi32 imagehlp imm32 kernel32 lpk msctf msvcrt normaliz
  nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi url urlmon user32
  usp10 wininet wldap32 ws2_32)

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no import table found in ${EXE}")
endif()
set(bad "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  string(REGEX REPLACE "\\.dll$" "" base "${dll}")
  message(STATUS "imports ${dll}")
  if(NOT base IN_LIST known)
    list(APPEND bad "${dll}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "${EXE} imports DLLs outside KnownDLLs: ${bad}")
endif()

# The manifest: resource type 24 (RT_MANIFEST), id 1, and what it asks for. Its text lies in the
# resources as plain UTF-8.
if(NOT dump MATCHES "Entry: ID: 0x000018, [^\n]*\n[^\n]*\n[^\n]*Entry: ID: 0x000001,")
  message(FATAL_ERROR "${EXE} has no manifest resource (type 24, id 1)")
endif()
foreach(needed "level=\"requireAdministrator\""
               "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""
               "WindowsSettings\">true</dpiAware>"
               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"
               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")
  file(STRINGS "${EXE}" found LIMIT_COUNT 1 REGEX "${needed}")
  if(NOT found)
    message(FATAL_ERROR "the manifest of ${EXE} lacks ${needed}")
  endif()
endforeach()
