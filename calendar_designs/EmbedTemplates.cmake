# Turns every stored page text of templates/ into bytes of a C++ source, so
# the programs take their layouts by name without files beside them.
# Usage: cmake -DDIR=<templates folder> -DOUT=<source> -P EmbedTemplates.cmake
file(GLOB files "${DIR}/*.txt")
list(SORT files)
set(arrays "")
set(entries "")
set(index 0)
foreach(f ${files})
  get_filename_component(name "${f}" NAME_WLE)
  file(READ "${f}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char T${index}[] = { ${bytes} 0 };\n")
  string(LENGTH "${hex}" hexlen)
  math(EXPR size "${hexlen} / 2")
  string(APPEND entries "    { \"${name}\", T${index}, ${size} },\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUT}.new" "// Made by EmbedTemplates.cmake from calendar_designs/templates; do not edit.\n"
  "#include \"calendar_designs/XDesign.Templates.h\"\n\nnamespace {\n${arrays}\n"
  "// A last empty entry keeps the array valid without templates.\n"
  "const TXDesignTemplate Templates[] = {\n${entries}    { nullptr, nullptr, 0 },\n};\n}\n\n"
  "std::span<const TXDesignTemplate> DesignTemplates()\n{\n    return { Templates, ${index} };\n}\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
