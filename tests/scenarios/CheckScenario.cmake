# Runs veska-sim --check on FILE and checks that it ends the way OUTCOME says:
#   failed     exit 1, a failed expectation or step on standard output, nothing on standard error;
#   malformed  exit 2, nothing on standard output, standard error holding the text of the
#              file beside FILE named NAME.error (its one line).
# A crash (a signal, or a sanitizer's report) never passes: the exit status and the streams
# must both match.
execute_process(COMMAND ${SIM} --check ${FILE} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

if(OUTCOME STREQUAL "failed")
  if(NOT status STREQUAL "1")
    message(FATAL_ERROR "expected exit status 1, got ${status}\n${out}${err}")
  endif()
  if(NOT err STREQUAL "")
    message(FATAL_ERROR "expected nothing on standard error, got:\n${err}")
  endif()
  if(NOT out MATCHES "\"event\":\"(expect|stepFailed)\"" OR NOT out MATCHES "\"event\":\"end\"")
    message(FATAL_ERROR "expected the failure and the end on the trace, got:\n${out}")
  endif()
elseif(OUTCOME STREQUAL "malformed")
  if(NOT status STREQUAL "2")
    message(FATAL_ERROR "expected exit status 2, got ${status}\n${out}${err}")
  endif()
  if(NOT out STREQUAL "")
    message(FATAL_ERROR "expected no trace for a malformed file, got:\n${out}")
  endif()
  string(REGEX REPLACE "\\.json$" ".error" expected_file ${FILE})
  file(STRINGS ${expected_file} expected LIMIT_COUNT 1)
  string(FIND "${err}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "standard error does not say \"${expected}\":\n${err}")
  endif()
else()
  message(FATAL_ERROR "OUTCOME is failed or malformed")
endif()
