# Module code that calls the database's internals must not compile, every
# one of those calls refused for its access, and the record behind an id
# for being an incomplete type. Two steps:
#   when the tests are built, compiles the probe with -DCALL_HOST_INTERNALS
#   and records the compiler's exit status and messages (and the headers it
#   read, for the build to compile again when one changes):
#     cmake -DCOMPILE="COMMAND|ARG|..." -DPROBE=FILE -DRECORD=LOG -DDEPFILE=LOG.d -P module_cannot_call_host.cmake
#   the test reads the record and passes when every member is refused:
#     cmake -DRECORD=LOG -DMEMBERS="NAME;..." -P module_cannot_call_host.cmake
if(DEFINED COMPILE)
  string(REPLACE "|" ";" compile "${COMPILE}")
  execute_process(COMMAND ${compile} -DCALL_HOST_INTERNALS -MD -MF ${DEPFILE} -MT ${RECORD} ${PROBE}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  file(WRITE ${RECORD}.tmp "status ${status}\n${out}")
  file(RENAME ${RECORD}.tmp ${RECORD})
  return()
endif()

if(NOT EXISTS "${RECORD}")
  message(FATAL_ERROR "${RECORD} is missing: build the tests first")
endif()
file(READ ${RECORD} out)
if(NOT out MATCHES "^status ([^\n]*)\n")
  message(FATAL_ERROR "${RECORD} holds no exit status:\n${out}")
endif()
if(CMAKE_MATCH_1 STREQUAL "0")
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
