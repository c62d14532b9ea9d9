# Script mode: writes the C++ source of one module's resource table (see EmbedResources.cmake).
include(${MANIFEST})

set(arrays "")
set(entries "")
set(index 0)
list(LENGTH ENTRIES count)
if(count GREATER 0)
    math(EXPR last "${count} - 1")
    foreach(position RANGE 0 ${last} 2)
        math(EXPR next "${position} + 1")
        list(GET ENTRIES ${position} type)
        list(GET ENTRIES ${next} id)
        if(type STREQUAL "STRING")
            string(HEX "${TEXT_${id}}" hex)
        else()
            file(READ "${FILE_${type}_${id}}" hex HEX)
        endif()
        string(LENGTH "${hex}" digits)
        math(EXPR size "${digits} / 2")
        if(size EQUAL 0)
            # An array cannot be empty; the size says 0 all the same.
            set(bytes "0x00,")
        else()
            string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        endif()
        string(APPEND arrays "const unsigned char kData${index}[] = {${bytes}};\n")
        string(APPEND entries "    {u\"${type}\", ${id}, kData${index}, ${size}},\n")
        math(EXPR index "${index} + 1")
    endforeach()
endif()

file(WRITE ${OUTPUT}.part "// Generated from ${MANIFEST}; do not edit.
#include \"platform/display/Resources.h\"

namespace {
${arrays}
const platform::ResourceEntry kEntries[] = {
${entries}};
const platform::ModuleResources kModule{\"${MODULE_NAME}\", ${IS_PROGRAM}, kEntries, ${index}};
const platform::ResourceRegistration kRegistration(kModule);
} // namespace
")
file(RENAME ${OUTPUT}.part ${OUTPUT})
