# vialto_embed(<list-var> <file> <symbol>): compiles <file> into the library as
#   namespace vialto::embedded { extern const unsigned char <symbol>[]; extern const size_t <symbol>_size; }
# so nothing has to sit beside the library at run time.
set(VIALTO_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedScript.cmake)
function(vialto_embed out_var file symbol)
  set(out ${PROJECT_BINARY_DIR}/embedded/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DSYM=${symbol} -P ${VIALTO_EMBED_SCRIPT}
    DEPENDS ${file} ${VIALTO_EMBED_SCRIPT}
    COMMENT "Embedding ${file}"
    VERBATIM)
  set(${out_var} ${${out_var}} ${out} PARENT_SCOPE)
endfunction()
