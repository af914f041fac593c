// Image files go through an incremental loader, which announces the size the
// header declares before it allocates or decodes any pixel. A size past the
// bound stops it there: a file of a few kilobytes can declare a picture that
// would take gigabytes and seconds to decode.

#include <cstdio>
#include <vector>

#include "platform/internal/ImageLoad.h"

namespace {

constexpr size_t kChunk = 16384;

struct Bound {
    int maxSide;
    bool refused = false;
};

void sizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    Bound* bound = static_cast<Bound*>(data);
    if (width > 0 && height > 0 && width <= bound->maxSide && height <= bound->maxSide) return;
    bound->refused = true;
    // Asking for a size of nothing makes the format's loader stop at once.
    gdk_pixbuf_loader_set_size(loader, 0, 0);
}

struct LoaderUnref {
    void operator()(GdkPixbufLoader* loader) const { g_object_unref(loader); }
};
struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

PixbufRef loadPixbufWithin(const std::string& path, int maxSide) {
    std::unique_ptr<FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    if (!file) return nullptr;
    std::unique_ptr<GdkPixbufLoader, LoaderUnref> loader(gdk_pixbuf_loader_new());
    Bound bound{maxSide};
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(sizePrepared), &bound);

    std::vector<guchar> chunk(kChunk);
    bool ok = true;
    while (ok && !bound.refused) {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (got == 0) {
            ok = !std::ferror(file.get());
            break;
        }
        ok = gdk_pixbuf_loader_write(loader.get(), chunk.data(), got, nullptr);
    }
    // Closed in every case: a loader released unclosed complains on the log.
    ok = gdk_pixbuf_loader_close(loader.get(), nullptr) && ok;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (!ok || bound.refused || !pixbuf) return nullptr;
    // Kept for a loader that decodes without announcing the size first.
    if (gdk_pixbuf_get_width(pixbuf) > maxSide || gdk_pixbuf_get_height(pixbuf) > maxSide) return nullptr;
    return PixbufRef(static_cast<GdkPixbuf*>(g_object_ref(pixbuf)));
}
