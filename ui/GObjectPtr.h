#pragma once
// Owners for GLib, GObject and cairo handles, so that each reference is dropped exactly once.

#include <cairo.h>
#include <glib-object.h>

#include <memory>

#include "base/CallRelease.h"

// Owns one reference of a GObject of type T.
template <typename T>
using GObjectPtr = std::unique_ptr<T, CallRelease<g_object_unref>>;

using GBytesPtr = std::unique_ptr<GBytes, CallRelease<g_bytes_unref>>;
using GErrorPtr = std::unique_ptr<GError, CallRelease<g_error_free>>;
using GCharPtr = std::unique_ptr<char, CallRelease<g_free>>;
using GUriPtr = std::unique_ptr<GUri, CallRelease<g_uri_unref>>;
using GHashTablePtr = std::unique_ptr<GHashTable, CallRelease<g_hash_table_unref>>;
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CallRelease<cairo_surface_destroy>>;
using CairoPtr = std::unique_ptr<cairo_t, CallRelease<cairo_destroy>>;
using CairoRegionPtr = std::unique_ptr<cairo_region_t, CallRelease<cairo_region_destroy>>;
