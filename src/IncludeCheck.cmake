# cmake -D FOLDER=src -P IncludeCheck.cmake
#
# Fails when a source or header under FOLDER includes a path that climbs out
# of a folder ("../"). The layers' include roots decide what a layer may
# include; a climbing path, resolved from the including file's own folder in
# the source tree, would reach any other layer past them.
file(GLOB_RECURSE files ${FOLDER}/*.h ${FOLDER}/*.cpp)
set(found "")
foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.")
    foreach(line IN LISTS lines)
        string(APPEND found "\n  ${file}: ${line}")
    endforeach()
endforeach()
if(found)
    message(FATAL_ERROR "These includes climb out of their folder; name the header from "
        "the top of its tree (\"common/Error.h\") instead:${found}")
endif()
