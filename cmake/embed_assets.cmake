# Turns each web asset into a byte array and a std::string_view named after the
# file (viewer-core.css -> assets::viewer_core_css), so nothing is read from
# disk at run time. Invoked with -DINPUTS=<files joined by "|"> -DOUT_CC=<file>
# -DOUT_H=<file>.
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(header "// Generated from assets/; do not edit.\n#pragma once\n#include <string_view>\n\nnamespace assets {\n")
set(source "// Generated from assets/; do not edit.\n#include \"assets.h\"\n\nnamespace assets {\n")
foreach(input ${INPUTS})
  get_filename_component(file_name ${input} NAME)
  string(MAKE_C_IDENTIFIER ${file_name} id)
  file(READ ${input} hex HEX)
  file(SIZE ${input} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND header "extern const std::string_view ${id};\n")
  string(APPEND source "static const char ${id}_data[] = {${bytes} 0};\n")
  string(APPEND source "const std::string_view ${id}(${id}_data, ${size});\n")
endforeach()
string(APPEND header "}  // namespace assets\n")
string(APPEND source "}  // namespace assets\n")
file(WRITE ${OUT_H} "${header}")
file(WRITE ${OUT_CC} "${source}")
