# Writes the table of the engine's embedded files as C++ byte arrays:
#   cmake -DOUTPUT=table.cpp -DFILES="a;b" -P embed_files.cmake
# Each file is found by its file name. Every array ends with an extra zero
# byte that the recorded size leaves out, so no array is ever empty.
set(arrays "")
set(entries "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kFile${index}[] = {${bytes}0x00};\n")
  string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new
"// Generated from the engine's embedded files at build time.
#include \"platform/posix/embedded_file_table.h\"

namespace zun::platform::posix {
namespace {

${arrays}
}  // namespace

const EmbeddedFile kEmbeddedFiles[] = {
${entries}};
const size_t kEmbeddedFileCount = ${index};

}  // namespace zun::platform::posix
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
