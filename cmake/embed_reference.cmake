# Writes OUTPUT, a C++ source that holds the fresh-machine reference lists of
# tools/uninstdat/reference as texts, so that uninstdat carries them inside.
#   cmake -DREFERENCE=<folder> -DOUTPUT=<file> -P embed_reference.cmake
set(text "// Generated from tools/uninstdat/reference by cmake/embed_reference.cmake.\n"
         "namespace uninstdat {\n")
foreach(pair "kFreshKeys;fresh-keys.txt" "kFreshFolders;fresh-folders.txt" "kMoreFolders;more-folders.txt")
  list(GET pair 0 name)
  list(GET pair 1 file)
  file(READ "${REFERENCE}/${file}" content)
  string(FIND "${content}" ")ref\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} holds )ref\", which would end the text early")
  endif()
  string(APPEND text "extern const char ${name}[] = R\"ref(${content})ref\";\n")
endforeach()
string(APPEND text "}  // namespace uninstdat\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
