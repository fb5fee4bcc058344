# Copies the launcher stub from the Windows tree into the host tree, touching the copy
# only when the stub changed, so that the pack tool is rebuilt exactly then.
if(NOT EXISTS "${STUB}")
  message(FATAL_ERROR "launcher stub ${STUB} not found: build the Windows tree first "
                      "(make build does both trees in order)")
endif()
file(COPY_FILE "${STUB}" "${COPY}" ONLY_IF_DIFFERENT)
