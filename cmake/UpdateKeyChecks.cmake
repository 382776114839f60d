# Checks on the update-signing settings, as functions without side effects so that
# tests/cmake/update_key_checks.cmake can run them in script mode.

# The form of one DOWNLOADER_UPDATE_KEYS entry: ID=BASE64, where ID is 1 to 16 characters of
# [A-Za-z0-9_-] and BASE64 the standard base64 of a 32-byte Ed25519 public key. 32 bytes encode
# to 43 characters and one '='; the last character before it carries 4 bits of the key and 2
# zero bits, so only every fourth letter of the alphabet may stand there. Anything else is
# stopped here, naming the entry, rather than found by the first user whose update is refused.
function(downloader_check_update_keys keys)
  set(seen_ids "")
  foreach(entry IN LISTS keys)
    if(NOT entry MATCHES "^([^=]*)=(.*)$")
      message(FATAL_ERROR "DOWNLOADER_UPDATE_KEYS: entry '${entry}' is not ID=BASE64")
    endif()
    set(id "${CMAKE_MATCH_1}")
    set(key "${CMAKE_MATCH_2}")
    string(LENGTH "${id}" id_length)
    if(id_length LESS 1 OR id_length GREATER 16 OR NOT id MATCHES "^[A-Za-z0-9_-]+$")
      message(FATAL_ERROR "DOWNLOADER_UPDATE_KEYS: entry '${entry}': the ID must be 1 to 16 "
                          "characters of A-Z, a-z, 0-9, '_' and '-'")
    endif()
    string(LENGTH "${key}" key_length)
    if(NOT key_length EQUAL 44 OR NOT key MATCHES "^[A-Za-z0-9+/]+[AEIMQUYcgkosw048]=$")
      message(FATAL_ERROR "DOWNLOADER_UPDATE_KEYS: entry '${entry}': the key is not the "
                          "standard base64 of 32 bytes (44 characters ending in one '=')")
    endif()
    if(id IN_LIST seen_ids)
      message(FATAL_ERROR "DOWNLOADER_UPDATE_KEYS: entry '${entry}': the ID '${id}' is given twice")
    endif()
    list(APPEND seen_ids "${id}")
  endforeach()
endfunction()

# Sets out_var to TRUE when host, in the form the DOWNLOADER_*_HOST settings take (host[:port]
# or https://host[:port]), is the loopback demo's: 127.0.0.1, localhost or [::1], any port.
# Anything else, including a path or a trailing '/', counts as a real host.
function(downloader_is_loopback_host host out_var)
  string(TOLOWER "${host}" lowered)
  string(REGEX REPLACE "^https://" "" bare "${lowered}")
  if(bare MATCHES "^(127\\.0\\.0\\.1|localhost|\\[::1\\])(:[0-9]+)?$")
    set(${out_var} TRUE PARENT_SCOPE)
  else()
    set(${out_var} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Stops configuring when a host other than the loopback demo's is set without keys, unless
# allow_unsigned says that an unsigned program is built on purpose.
function(downloader_check_unsigned_hosts keys allow_unsigned)
  if(NOT keys STREQUAL "")
    return()
  endif()
  foreach(setting DOWNLOADER_UPDATE_HOST DOWNLOADER_WEB_HOST)
    downloader_is_loopback_host("${${setting}}" loopback)
    if(loopback)
      continue()
    endif()
    if(allow_unsigned)
      message(WARNING "${setting} is '${${setting}}' and DOWNLOADER_UPDATE_KEYS is empty: this "
                      "program starts whatever installer that host names, unchecked")
    else()
      message(FATAL_ERROR
        "${setting} is '${${setting}}', not the loopback demo's, and DOWNLOADER_UPDATE_KEYS is "
        "empty: the program would start whatever installer that host names. Give the "
        "publisher's public keys (-DDOWNLOADER_UPDATE_KEYS=\"ID=BASE64;...\", see README, "
        "'Publishing a signed update'), or set -DDOWNLOADER_ALLOW_UNSIGNED=ON to build an "
        "unsigned program on purpose.")
    endif()
  endforeach()
endfunction()
