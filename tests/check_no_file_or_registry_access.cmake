cmake_minimum_required(VERSION 3.21)
# The program keeps nothing on disk and reads no settings. With SOURCE_DIR:
# fails if its sources name a file or registry API. With OBJDUMP and EXE: fails
# if the built program imports one, or DLLs other than the expected ones of
# Windows (the C++ runtime and thread library must be linked in statically).
# The names are whole words or imports; no groups, CMake allows ten in all.
set(forbidden
    "CreateFile[AW2]?" "CreateFileTransacted[AW]" "OpenFile" "OpenFileById" "ReadFile" "ReadFileEx"
    "WriteFile" "WriteFileEx" "DeleteFile[AW]?" "CopyFile[AW2]?" "CopyFileEx[AW]" "MoveFile[AW]?"
    "MoveFileEx[AW]" "MoveFileWithProgress[AW]" "ReplaceFile[AW]?" "CreateDirectory[AW]?"
    "CreateDirectoryEx[AW]" "RemoveDirectory[AW]?" "FindFirstFile[AW]?" "FindFirstFileEx[AW]"
    "FindNextFile[AW]?" "[GS]etFileAttributes[AW]?" "GetFileAttributesEx[AW]" "_lopen" "_lcreat"
    "_w?s?open" "_w?s?open_s" "_?w?fopen" "_?w?fopen_s" "_w?fsopen" "_?w?freopen" "_?w?freopen_s"
    "w?[io]?fstream" "basic_[io]?fstream" "w?filebuf" "basic_filebuf" "filesystem"
    # Reg and a capital: the registry, but not RegisterClassW and its kin.
    "Reg[A-Z][A-Za-z]*" "SHReg[A-Za-z]+" "SH[GS]etValue[AW]?" "SHDeleteValue[AW]?"
    "SHQueryValueEx[AW]?" "SHDeleteKey[AW]?" "SHDeleteEmptyKey[AW]?" "SHCopyKey[AW]?"
    "SHEnumKeyEx[AW]?" "SHEnumValue[AW]?" "GetProfile[A-Za-z]*" "WriteProfile[A-Za-z]*"
    "GetPrivateProfile[A-Za-z]*" "WritePrivateProfile[A-Za-z]*")
list(JOIN forbidden "|" forbidden)

if(SOURCE_DIR)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/core/* ${SOURCE_DIR}/app/* ${SOURCE_DIR}/hotkey/*)
    list(LENGTH sources count)
    if(count LESS 10)
        message(FATAL_ERROR "found only ${count} source files under ${SOURCE_DIR}")
    endif()
    foreach(source IN LISTS sources)
        file(STRINGS ${source} lines REGEX "(^|[^A-Za-z0-9_])(${forbidden})([^A-Za-z0-9_]|$)")
        foreach(line IN LISTS lines)
            message(SEND_ERROR "${source}: ${line}")
        endforeach()
    endforeach()
endif()
if(NOT EXE)
    return()
endif()

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
# Each imported name is a line "<tab><address><tab><hint>  <name>".
string(REGEX MATCHALL "\t[0-9a-fA-F]+\t *[0-9]+ +[A-Za-z_][A-Za-z0-9_]*" imports "${dump}")
list(TRANSFORM imports REPLACE "^.* " "")
# The program cannot work without its hooks: a table without them was misread.
if(failed OR NOT "SetWindowsHookExW" IN_LIST imports)
    message(FATAL_ERROR "no import table read from ${EXE} (${OBJDUMP}: ${failed})")
endif()
list(FILTER imports INCLUDE REGEX "^(${forbidden})$")
foreach(import IN LISTS imports)
    message(SEND_ERROR "${EXE} imports ${import}")
endforeach()

# Exactly these of Windows' own DLLs: another is one more thing to trust, and
# a missing one is a part of the program that is gone.
set(expected advapi32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll wtsapi32.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
string(TOLOWER "${dlls}" dlls)
list(TRANSFORM dlls REPLACE "^dll name: " "")
list(SORT dlls)
if(NOT dlls STREQUAL expected)
    message(SEND_ERROR "${EXE} imports from ${dlls}, not exactly ${expected}")
endif()
