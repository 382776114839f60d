# The publisher's Ed25519 public keys, compiled in: update information counts only when one of
# them signed it. An empty list builds an unsigned program, allowed without further ado only for
# the loopback demo's hosts.
include(${CMAKE_CURRENT_LIST_DIR}/UpdateKeyChecks.cmake)

set(DOWNLOADER_UPDATE_KEYS "" CACHE STRING
    "Public keys update information must be signed with: a list of ID=BASE64 (empty: unsigned)")
option(DOWNLOADER_ALLOW_UNSIGNED
       "Build without DOWNLOADER_UPDATE_KEYS although a host is not the loopback demo's" OFF)

downloader_check_update_keys("${DOWNLOADER_UPDATE_KEYS}")
downloader_check_unsigned_hosts("${DOWNLOADER_UPDATE_KEYS}" "${DOWNLOADER_ALLOW_UNSIGNED}")

# The keys as C++ initializers for download/CompiledUpdateKeyTexts.cpp.in. The checks above
# leave only characters that need no escaping in a string literal.
set(DOWNLOADER_UPDATE_KEY_COUNT 0)
set(DOWNLOADER_UPDATE_KEY_INITIALIZERS "")
set(key_ids "")
foreach(entry IN LISTS DOWNLOADER_UPDATE_KEYS)
  string(REGEX MATCH "^([^=]*)=(.*)$" unused "${entry}")
  string(APPEND DOWNLOADER_UPDATE_KEY_INITIALIZERS
         "    UpdateKeyText{\"${CMAKE_MATCH_1}\", \"${CMAKE_MATCH_2}\"},\n")
  math(EXPR DOWNLOADER_UPDATE_KEY_COUNT "${DOWNLOADER_UPDATE_KEY_COUNT} + 1")
  list(APPEND key_ids "${CMAKE_MATCH_1}")
endforeach()
if(DOWNLOADER_UPDATE_KEY_COUNT EQUAL 0)
  message(STATUS "Update information: unsigned (no DOWNLOADER_UPDATE_KEYS)")
else()
  list(JOIN key_ids ", " key_ids)
  message(STATUS "Update information: signed, keys ${key_ids}")
endif()
unset(key_ids)
unset(unused)

pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
