# Turns a resource file into a C++ source holding its bytes: cmake -DIN=<file> -DOUT=<cpp>
# -DSYMBOL=<name> -P EmbedResource.cmake. The bytes become `const unsigned char <name>[]` and
# `const std::size_t <name>Size` in namespace controls::resources.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}" "// Generated from ${IN}; do not edit.\n#include <cstddef>\n\nnamespace controls::resources {\nextern const unsigned char ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}Size;\nconst unsigned char ${SYMBOL}[] = {\n${bytes}\n};\nconst std::size_t ${SYMBOL}Size = ${size};\n}  // namespace controls::resources\n")
