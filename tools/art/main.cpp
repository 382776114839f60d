// Draws the page's pictures into the folder named on the command line:
// bitmaps for the resources the page types "JPG", PNGs for the rest, and the application icon
// in the sizes of the window (16, 32, 48) and of the desktop's menus and launchers (128, 256).

#include <cairo.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "tools/art/AdvertPicture.h"
#include "tools/art/Bmp24.h"
#include "tools/art/ButtonSprites.h"
#include "tools/art/ProductEmblem.h"
#include "tools/art/ProgressBarArt.h"
#include "tools/art/WindowEdges.h"

namespace {

void WritePng(cairo_surface_t* surface, const std::string& path) {
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    try {
        WriteBmp24(DrawTitleIcon().get(), folder + "title-icon.bmp");
        WriteBmp24(DrawAdvertPicture().get(), folder + "advert.bmp");
        WriteBmp24(DrawProgressTrack().get(), folder + "progress-track.bmp");
        WritePng(DrawProgressFill().get(), folder + "progress-fill.png");
        WritePng(DrawTopEdge().get(), folder + "edge-top.png");
        WritePng(DrawBottomEdge().get(), folder + "edge-bottom.png");
        WritePng(DrawButtonSprites().get(), folder + "sprites.png");
        for (int size : {16, 32, 48, 128, 256})
            WritePng(DrawWindowIcon(size).get(), folder + "icon-" + std::to_string(size) + ".png");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
