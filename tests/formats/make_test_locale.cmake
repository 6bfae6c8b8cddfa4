# Compiles one locale into a folder for the tests, quietly doing nothing
# where the locale sources are missing: the tests then skip that locale.
file(MAKE_DIRECTORY ${OUTPUT_DIR})
execute_process(
  COMMAND ${LOCALEDEF} -i ${NAME} -f UTF-8 ${OUTPUT_DIR}/${NAME}.UTF-8
  OUTPUT_QUIET ERROR_QUIET)
file(TOUCH ${STAMP})
