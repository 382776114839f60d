#include "tests/res/BundleReader.h"

#include <cstring>

#include "res/DownloaderResources.h"

namespace {

struct PngSource {
    const std::string* bytes;
    std::size_t offset = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
    auto* source = static_cast<PngSource*>(closure);
    if (source->bytes->size() - source->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, source->bytes->data() + source->offset, length);
    source->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string BundleEntry(const std::string& path) {
    GBytes* bytes = g_resource_lookup_data(downloader_get_resource(), path.c_str(),
                                           G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (bytes == nullptr) return {};
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    std::string copy(data, size);
    g_bytes_unref(bytes);
    return copy;
}

SurfacePtr BundlePng(const std::string& path) {
    const std::string bytes = BundleEntry(path);
    PngSource source{&bytes};
    SurfacePtr surface(cairo_image_surface_create_from_png_stream(ReadPng, &source));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    return surface;
}

std::uint32_t PixelAt(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}
