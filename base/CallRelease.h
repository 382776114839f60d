#pragma once
// A unique_ptr deleter that calls a C library's own release function, so that every handle of
// libcurl, GLib, cairo or Pango gets an owner in one line:
//   using CurlUrl = std::unique_ptr<CURLU, CallRelease<curl_url_cleanup>>;

template <auto Release>
struct CallRelease {
    template <typename T>
    void operator()(T* p) const {
        if (p) Release(p);
    }
};
