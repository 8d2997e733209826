cmake_minimum_required(VERSION 3.21)
# Fails if the program's sources call a file or registry API, or if the built
# program imports one: it keeps nothing on disk and reads no settings.
#   cmake -DSOURCE_DIR=... -DOBJDUMP=... -DEXE=... -P check_no_file_or_registry_access.cmake
set(forbidden
    "CreateFile[AW2]?" "OpenFile" "ReadFile" "WriteFile" "DeleteFile[AW]?" "CopyFile[AW]?"
    "MoveFile[AW]?" "CreateDirectory[AW]?" "fopen" "_wfopen" "freopen" "ofstream" "ifstream"
    "fstream" "std::filesystem" "Reg[A-Z][A-Za-z]*" "SHGetValue[AW]?" "SHSetValue[AW]?"
    "GetPrivateProfile[A-Za-z]*" "WritePrivateProfile[A-Za-z]*" "GetProfile[A-Za-z]*"
    "WriteProfile[A-Za-z]*")
list(JOIN forbidden "|" pattern)
set(pattern "(^|[^A-Za-z0-9_])(${pattern})[ \t]*\\(")

file(GLOB_RECURSE sources ${SOURCE_DIR}/core/* ${SOURCE_DIR}/app/* ${SOURCE_DIR}/hotkey/*)
list(LENGTH sources count)
if(count LESS 10)
    message(FATAL_ERROR "found only ${count} source files under ${SOURCE_DIR}")
endif()
foreach(source IN LISTS sources)
    file(STRINGS ${source} lines REGEX "${pattern}")
    foreach(line IN LISTS lines)
        message(SEND_ERROR "${source}: ${line}")
    endforeach()
endforeach()

if(EXE)
    execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump)
    string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
    if(NOT dlls)
        message(FATAL_ERROR "no import table read from ${EXE}")
    endif()
    string(REGEX MATCHALL "[0-9a-f]+ +[0-9]+ +(Reg[A-Za-z]+|CreateFile[AW]|WriteFile|DeleteFile[AW]|[A-Za-z]*PrivateProfile[A-Za-z]*)\n" imports "${dump}")
    foreach(import IN LISTS imports)
        message(SEND_ERROR "${EXE} imports ${import}")
    endforeach()
endif()
message(STATUS "checked ${count} source files")
