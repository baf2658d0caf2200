# Writes OUT, a C++ file holding the bytes of IN as the array SYM.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR size "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT}
  "// Generated from ${IN}; do not edit.\n#include <cstddef>\n"
  "namespace vialto::embedded {\n"
  "extern const unsigned char ${SYM}[];\nextern const std::size_t ${SYM}_size;\n"
  "const unsigned char ${SYM}[] = {\n${bytes}0};\n"
  "const std::size_t ${SYM}_size = ${size};\n}\n")
