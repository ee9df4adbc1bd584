# Writes a text file for Windows users: CRLF line ends, ending in one line end.
#   cmake -DIN=file -DOUT=file [-DPART=name] [-DVERSION=x.y.z] [-DSOURCE_URL=url] -P windows-text.cmake
# With PART, only the lines between the comment lines "<!-- PART begin..." and "<!-- PART end..."
# of IN are taken (the marker lines themselves are left out); a missing marker is an error, so
# an edit that loses one breaks the build instead of shipping a wrong file.
# With VERSION, "drivenudge-<version>-source.tar.gz" becomes the archive's real name. The comment
# "<!-- source-url -->" becomes ", <SOURCE_URL>" (the repository's address, when the build knows
# it) or nothing.
cmake_minimum_required(VERSION 3.25)

file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")

if(DEFINED PART)
    string(FIND "${text}" "<!-- ${PART} begin" begin)
    string(FIND "${text}" "<!-- ${PART} end" end)
    if(begin EQUAL -1 OR end EQUAL -1 OR end LESS begin)
        message(FATAL_ERROR "${IN}: no '<!-- ${PART} begin' ... '<!-- ${PART} end' comment pair")
    endif()
    string(SUBSTRING "${text}" ${begin} -1 from_begin)
    string(FIND "${from_begin}" "\n" line_end)
    math(EXPR first "${begin} + ${line_end} + 1")
    math(EXPR length "${end} - ${first}")
    string(SUBSTRING "${text}" ${first} ${length} text)
endif()

if(VERSION)
    string(REPLACE "drivenudge-<version>-source.tar.gz" "drivenudge-${VERSION}-source.tar.gz" text "${text}")
endif()
if(SOURCE_URL)
    string(REPLACE "<!-- source-url -->" ", <${SOURCE_URL}>" text "${text}")
else()
    string(REPLACE "<!-- source-url -->" "" text "${text}")
endif()

string(REGEX REPLACE "[ \t\n]+$" "" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}\r\n")
