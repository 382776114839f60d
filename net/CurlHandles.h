#pragma once
// Owners of libcurl handles: each is released exactly once, by its own cleanup function.

#include <curl/curl.h>

#include <memory>

#include "base/CallRelease.h"

using CurlEasy = std::unique_ptr<CURL, CallRelease<curl_easy_cleanup>>;
using CurlMulti = std::unique_ptr<CURLM, CallRelease<curl_multi_cleanup>>;
using CurlSlist = std::unique_ptr<curl_slist, CallRelease<curl_slist_free_all>>;
using CurlUrl = std::unique_ptr<CURLU, CallRelease<curl_url_cleanup>>;
using CurlText = std::unique_ptr<char, CallRelease<curl_free>>;

// libcurl's process-wide set-up, done once before the first handle is made.
void EnsureCurlGlobalInit();
