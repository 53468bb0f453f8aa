# cmake -DSOURCE=file -DTARGET=file -P CopyIfMissing.cmake: puts a default in place only where
# none exists, so a settings file that a user edited in the staging folder stays as it is.
if(NOT EXISTS "${TARGET}")
  configure_file("${SOURCE}" "${TARGET}" COPYONLY)
endif()
