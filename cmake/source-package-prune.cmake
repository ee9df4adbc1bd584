# Run by cpack after it has copied the files to be packed into its staging folder. For the
# source archive it removes from the copy every file git does not track (editor files, scratch
# notes, anything left untracked in the source folder), and fails when a tracked file is missing
# from it, so that the archive holds exactly the tracked files. Binary packages pass untouched.
if(NOT CPACK_PACKAGE_FILE_NAME STREQUAL CPACK_SOURCE_PACKAGE_FILE_NAME)
    return()
endif()
find_program(dn_git git REQUIRED)
execute_process(COMMAND ${dn_git} -C ${CPACK_DN_SOURCE_DIR} -c core.quotePath=off ls-files
                OUTPUT_VARIABLE tracked RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "source archive: ${CPACK_DN_SOURCE_DIR} is not a git checkout; the "
                        "archive is made from one, to hold exactly the tracked files")
endif()
string(REGEX REPLACE "\n$" "" tracked "${tracked}")
string(REPLACE "\n" ";" tracked "${tracked}")

set(staging "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE copied LIST_DIRECTORIES false RELATIVE "${staging}" "${staging}/*")
set(untracked ${copied})
list(REMOVE_ITEM untracked ${tracked})
foreach(path IN LISTS untracked)
    file(REMOVE "${staging}/${path}")
endforeach()
set(missing ${tracked})
list(REMOVE_ITEM missing ${copied})
if(missing)
    message(FATAL_ERROR "source archive: tracked files not in the source folder: ${missing}")
endif()

# Folders left empty by the removals (deepest first).
file(GLOB_RECURSE folders LIST_DIRECTORIES true "${staging}/*")
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
    if(IS_DIRECTORY "${folder}")
        file(GLOB entries "${folder}/*" "${folder}/.*")
        if(NOT entries)
            file(REMOVE "${folder}")
        endif()
    endif()
endforeach()
list(LENGTH untracked removed)
list(LENGTH tracked kept)
message(STATUS "source archive: ${kept} tracked files, ${removed} untracked left out")
