# cmake -Dfrom=FILE -Dto=FILE -P copy-if-missing.cmake: copies only when
# nothing is at `to` yet.
if(NOT EXISTS "${to}" AND NOT IS_SYMLINK "${to}")
  file(COPY_FILE "${from}" "${to}")
endif()
