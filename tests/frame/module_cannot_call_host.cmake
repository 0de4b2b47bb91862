# Compiles module code that calls the database's internals and passes when
# the compiler refuses every one of those calls for its access, and the
# record behind an id for being an incomplete type:
#   cmake -DCOMPILE="COMMAND|ARG|..." -DPROBE=FILE -DMEMBERS="NAME;..." -P module_cannot_call_host.cmake
string(REPLACE "|" ";" compile "${COMPILE}")
execute_process(COMMAND ${compile} -DCALL_HOST_INTERNALS ${PROBE}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(status EQUAL 0)
  message(FATAL_ERROR "module code that calls the host's internals compiles")
endif()
set(missing)
foreach(member IN LISTS MEMBERS)
  if(NOT out MATCHES "${member}[^A-Za-z][^\n]* is (a )?(private|protected)")
    list(APPEND missing ${member})
  endif()
endforeach()
if(NOT out MATCHES "incomplete type [^\n]*AcDbStub")
  list(APPEND missing AcDbStub)
endif()
if(missing)
  message(FATAL_ERROR "not refused for their access: ${missing}\n${out}")
endif()
message(STATUS "every host internal is refused: ${MEMBERS} AcDbStub")
