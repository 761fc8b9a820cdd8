# rvx_glob_sources(<var> <dir>): the .cpp, .h and .ui files of one folder (not recursive).
function(rvx_glob_sources var dir)
  file(GLOB files CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h" "${dir}/*.ui")
  set(${var} ${files} PARENT_SCOPE)
endfunction()
