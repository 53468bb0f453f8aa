# Reads the staged Getting Started Guide back with pdftotext and fails unless every chapter
# heading is there: a PDF that is empty, unreadable or lost a chapter is caught here.
# cmake -DGUIDE=<pdf> -DHEADINGS=<a;b;c> -P GuideHeadings.cmake
find_program(PDFTOTEXT pdftotext REQUIRED)
if(NOT EXISTS "${GUIDE}")
  message(FATAL_ERROR "The guide ${GUIDE} was not built")
endif()
execute_process(COMMAND "${PDFTOTEXT}" -layout "${GUIDE}" - OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pdftotext could not read ${GUIDE} (status ${status})")
endif()
foreach(heading IN LISTS HEADINGS)
  string(FIND "${text}" "${heading}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "The guide has no heading \"${heading}\"")
  endif()
endforeach()
message(STATUS "All headings found in ${GUIDE}")
