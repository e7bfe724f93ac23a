# Run by `cmake --install`: picks the plug-in's and cantilo's folders from the
# environment of the moment and copies the two files there. The folders are
# written to install-folders.txt in the build folder for scripts/run-main.

if(CANTILO_VST_DIR STREQUAL "")
  if(NOT "$ENV{VST_PATH}" STREQUAL "")
    string(REPLACE ":" ";" vst_paths "$ENV{VST_PATH}")
    list(GET vst_paths 0 CANTILO_VST_DIR)
  else()
    set(CANTILO_VST_DIR "$ENV{HOME}/.vst")
  endif()
endif()

if(CANTILO_BIN_DIR STREQUAL "")
  execute_process(COMMAND id -u OUTPUT_VARIABLE user_id OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(user_bin "$ENV{HOME}/.local/bin")
  string(REPLACE ":" ";" search_path "$ENV{PATH}")
  if(user_id STREQUAL "0")
    set(CANTILO_BIN_DIR "/usr/local/bin")
  elseif(user_bin IN_LIST search_path)
    set(CANTILO_BIN_DIR "${user_bin}")
  else()
    # The user's own folder is not searched: /usr/local/bin where this user
    # may write there, else the user's folder with a word about PATH.
    execute_process(COMMAND test -w /usr/local/bin RESULT_VARIABLE not_writable)
    if(not_writable EQUAL 0)
      set(CANTILO_BIN_DIR "/usr/local/bin")
    else()
      set(CANTILO_BIN_DIR "${user_bin}")
      message(STATUS "${user_bin} is not on PATH: add it to run cantilo by its name")
    endif()
  endif()
endif()

# file(INSTALL) puts DESTDIR, when given, in front of both folders itself.
file(INSTALL "${CANTILO_PLUGIN_FILE}" DESTINATION "${CANTILO_VST_DIR}" USE_SOURCE_PERMISSIONS)
file(INSTALL "${CANTILO_PROGRAM_FILE}" DESTINATION "${CANTILO_BIN_DIR}" USE_SOURCE_PERMISSIONS)
file(WRITE "${CANTILO_BUILD_DIR}/install-folders.txt"
  "plugin=$ENV{DESTDIR}${CANTILO_VST_DIR}/CantiloVST.so\n"
  "program=$ENV{DESTDIR}${CANTILO_BIN_DIR}/cantilo\n")
