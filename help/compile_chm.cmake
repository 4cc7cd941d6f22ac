# Runs chmcmd on the help project and fails on any warning, so a page missing from the
# project or a link to a page that does not exist stops the build instead of shipping.
# chmcmd writes the .chm into its working directory.
file(MAKE_DIRECTORY ${WORK_DIR})
file(REMOVE ${WORK_DIR}/chathoard.chm)
execute_process(
  COMMAND ${CHMCMD} ${PROJECT_FILE}
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR output MATCHES "Warning|Error|exception")
  message(FATAL_ERROR "chmcmd failed (${result}):\n${output}")
endif()
get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(COPY_FILE ${WORK_DIR}/chathoard.chm ${OUTPUT})
