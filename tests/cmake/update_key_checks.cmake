# Runs the configure-time checks of cmake/UpdateKeyChecks.cmake on the settings given with -D:
# DOWNLOADER_UPDATE_KEYS (entries separated by ',': a ';' would not survive the test command),
# DOWNLOADER_UPDATE_HOST, DOWNLOADER_WEB_HOST, DOWNLOADER_ALLOW_UNSIGNED.
# Stops with the checks' message, or prints "settings accepted".
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/UpdateKeyChecks.cmake)
string(REPLACE "," ";" keys "${DOWNLOADER_UPDATE_KEYS}")
downloader_check_update_keys("${keys}")
downloader_check_unsigned_hosts("${keys}" "${DOWNLOADER_ALLOW_UNSIGNED}")
message("settings accepted")
