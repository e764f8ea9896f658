# Fails when code outside the layer and the tests includes a layer file by its folder
# ("platform/system/...") instead of its public name ("platform/Name.h"). The display's interface
# is public under its own name ("platform/display/Name.h").
file(GLOB_RECURSE files ${ROOT}/zip/* ${ROOT}/controls/* ${ROOT}/manager/* ${ROOT}/plugin/*
     ${ROOT}/tools/* ${ROOT}/bench/* ${ROOT}/resources/*)
set(bad)
foreach(f ${files})
  if(f MATCHES "\\.(h|cpp|cc|inc)$")
    file(STRINGS ${f} lines REGEX "#include \"platform/(base|system|components|testing|x11|detail)/")
    if(lines)
      list(APPEND bad "${f}: ${lines}")
    endif()
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n" text)
  message(FATAL_ERROR "Includes past the layer's public headers:\n${text}")
endif()
