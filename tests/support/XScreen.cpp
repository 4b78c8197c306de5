// Windows, screenshots and PNG files for the tests on a private desktop.
#include "support/XScreen.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

namespace veska::testing {

namespace {

/// Errors about windows that went away between two requests are expected here.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

class QuietErrors {
public:
    explicit QuietErrors(Display* x) : x_(x) {
        XSync(x_, False);
        old_ = XSetErrorHandler(ignoreErrors);
    }
    ~QuietErrors() {
        XSync(x_, False);
        XSetErrorHandler(old_);
    }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    Display* x_;
    int (*old_)(Display*, XErrorEvent*) = nullptr;
};

std::optional<long> windowPid(Display* x, Window window) {
    const Atom property = XInternAtom(x, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) !=
            Success ||
        data == nullptr) {
        return std::nullopt;
    }
    std::optional<long> pid;
    if (format == 32 && count == 1) pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
    return pid;
}

std::vector<Window> children(Display* x, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> out;
    if (XQueryTree(x, window, &root, &parent, &list, &count) == 0) return out;
    out.assign(list, list + count);
    if (list != nullptr) XFree(list);
    return out;
}

std::string windowName(Display* x, Window window) {
    const Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
    const Atom netName = XInternAtom(x, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(x, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (name.empty()) {
        char* plain = nullptr;
        if (XFetchName(x, window, &plain) != 0 && plain != nullptr) {
            name = plain;
            XFree(plain);
        }
    }
    return name;
}

std::vector<std::string> windowTypes(Display* x, Window window) {
    const Atom property = XInternAtom(x, "_NET_WM_WINDOW_TYPE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<std::string> out;
    if (XGetWindowProperty(x, window, property, 0, 16, False, XA_ATOM, &type, &format, &count, &after, &data) !=
            Success ||
        data == nullptr) {
        return out;
    }
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count && format == 32; ++i) {
        char* name = XGetAtomName(x, atoms[i]);
        if (name == nullptr) continue;
        std::string text = name;
        XFree(name);
        const std::string prefix = "_NET_WM_WINDOW_TYPE_";
        if (text.rfind(prefix, 0) == 0) text = text.substr(prefix.size());
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        out.push_back(text);
    }
    XFree(data);
    return out;
}

/// One channel of a pixel, scaled to 8 bits, from its mask.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1UL) == 0) ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255UL / max);
}

}  // namespace

std::vector<Window> descendants(Display* x, Window window, std::size_t limit) {
    QuietErrors quiet(x);
    std::vector<Window> out;
    std::deque<Window> queue{window};
    while (!queue.empty() && out.size() < limit) {
        const Window next = queue.front();
        queue.pop_front();
        for (Window child : children(x, next)) {
            out.push_back(child);
            queue.push_back(child);
        }
    }
    return out;
}

bool isInsideWindowOf(Display* x, Window window, pid_t pid) {
    QuietErrors quiet(x);
    const Window root = DefaultRootWindow(x);
    for (int depth = 0; depth < 64 && window != 0 && window != root; ++depth) {
        Window rootReturn = 0;
        Window parent = 0;
        Window* list = nullptr;
        unsigned int count = 0;
        if (XQueryTree(x, window, &rootReturn, &parent, &list, &count) == 0) return false;
        if (list != nullptr) XFree(list);
        if (parent != root && parent != 0 && windowPid(x, parent) == pid) return true;
        window = parent;
    }
    return false;
}

Window topLevelWindowOf(Display* x, pid_t pid) {
    QuietErrors quiet(x);
    for (Window top : children(x, DefaultRootWindow(x))) {
        if (windowPid(x, top) == pid) return top;
        for (Window inner : children(x, top)) {
            if (windowPid(x, inner) == pid) return inner;
        }
    }
    return 0;
}

std::vector<WindowInfo> windowsOf(Display* x, pid_t pid) {
    std::vector<WindowInfo> out;
    for (Window window : descendants(x, DefaultRootWindow(x))) {
        QuietErrors quiet(x);
        if (windowPid(x, window) != pid) continue;
        if (auto info = describe(x, window)) out.push_back(*info);
    }
    return out;
}

std::optional<WindowInfo> describe(Display* x, Window window) {
    QuietErrors quiet(x);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(x, window, &attributes) == 0) return std::nullopt;
    WindowInfo info;
    info.id = window;
    Window child = 0;
    XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &info.x, &info.y, &child);
    info.width = attributes.width;
    info.height = attributes.height;
    info.viewable = attributes.map_state == IsViewable;
    info.overrideRedirect = attributes.override_redirect != 0;
    info.name = windowName(x, window);
    info.types = windowTypes(x, window);
    XClassHint hint{};
    if (XGetClassHint(x, window, &hint) != 0) {
        if (hint.res_class != nullptr) info.windowClass = hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    return info;
}

void askToClose(Display* x, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    QuietErrors quiet(x);
    XSendEvent(x, window, False, NoEventMask, &event);
    XFlush(x);
}

Image capture(Display* x, Window window) {
    Image image;
    const Window root = DefaultRootWindow(x);
    int left = 0;
    int top = 0;
    int width = DisplayWidth(x, DefaultScreen(x));
    int height = DisplayHeight(x, DefaultScreen(x));
    if (window != 0) {
        const std::optional<WindowInfo> info = describe(x, window);
        if (!info || !info->viewable) return image;
        left = std::max(info->x, 0);
        top = std::max(info->y, 0);
        width = std::min(info->width, DisplayWidth(x, DefaultScreen(x)) - left);
        height = std::min(info->height, DisplayHeight(x, DefaultScreen(x)) - top);
    }
    if (width <= 0 || height <= 0) return image;
    // Read from the root: what is on screen there, whatever the window's own visual.
    QuietErrors quiet(x);
    XImage* raw = XGetImage(x, root, left, top, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                            ZPixmap);
    if (raw == nullptr) return image;
    std::unique_ptr<XImage, void (*)(XImage*)> ximage(raw, [](XImage* image) { XDestroyImage(image); });
    if (raw->bits_per_pixel != 32 && raw->bits_per_pixel != 24 && raw->bits_per_pixel != 16) return image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    std::size_t at = 0;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(raw, column, row);
            image.rgb[at++] = channel(pixel, raw->red_mask);
            image.rgb[at++] = channel(pixel, raw->green_mask);
            image.rgb[at++] = channel(pixel, raw->blue_mask);
        }
    }
    return image;
}

int Image::countNear(std::uint8_t r, std::uint8_t g, std::uint8_t b, int tolerance) const {
    int count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (std::abs(rgb[i] - r) <= tolerance && std::abs(rgb[i + 1] - g) <= tolerance &&
            std::abs(rgb[i + 2] - b) <= tolerance) {
            ++count;
        }
    }
    return count;
}

int Image::countUnlikeCorner(int tolerance) const {
    if (rgb.size() < 3) return 0;
    int count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (std::abs(rgb[i] - rgb[0]) > tolerance || std::abs(rgb[i + 1] - rgb[1]) > tolerance ||
            std::abs(rgb[i + 2] - rgb[2]) > tolerance) {
            ++count;
        }
    }
    return count;
}

bool writePng(const Image& image, const std::filesystem::path& file) {
    if (image.empty()) return false;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;  // survives a longjmp from libpng
    if (png != nullptr && info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, out);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int row = 0; row < image.height; ++row) {
            png_write_row(png, image.rgb.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) * 3);
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
    std::fclose(out);
    return ok;
}

}  // namespace veska::testing
