#pragma once
// libcurl's descriptors kept from every child process: its connection sockets are opened
// close-on-exec, and the socket pair a threaded name lookup makes is marked once it is made.
// (libcurl marks neither itself, and WebKit's processes inherit what is not marked.)

#include <curl/curl.h>

#include "platform/NewDescriptors.h"

// For each transfer of easy: sockets opened close-on-exec, and the descriptors open at the
// start of each name lookup noted in lookup. The transfer's progress callback, which libcurl
// calls while the lookup runs, then calls lookup.Mark().
void KeepDescriptorsFromChildren(CURL* easy, CNewDescriptors& lookup);
