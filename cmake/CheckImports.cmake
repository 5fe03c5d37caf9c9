cmake_minimum_required(VERSION 3.20)
# Fails when an executable imports a DLL that is not part of Windows: Kadrix
# links everything else statically and must run from a bare folder.
#   cmake -DOBJDUMP=... -DEXE=... -P CheckImports.cmake
set(allowed
  advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll dwmapi.dll gdi32.dll imm32.dll
  kernel32.dll msimg32.dll msvcrt.dll ntdll.dll ole32.dll oleaut32.dll shcore.dll shell32.dll
  shlwapi.dll user32.dll uxtheme.dll version.dll winmm.dll ws2_32.dll)
execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Cannot read the imports of ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
set(bad "")
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST allowed)
    list(APPEND bad "${dll}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "${EXE} imports DLLs that are not part of Windows: ${bad}")
endif()
