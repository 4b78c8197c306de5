// One connection to the X server, with errors trapped instead of ending the process.
#include "platform/linux/x11/X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <mutex>

namespace veska::platform {

namespace {

/// Xlib has one error handler per process. Errors of a trapped call are recorded for the
/// display that caused them; every other error is dropped.
std::mutex gTrapMutex;
std::map<Display*, int>* gTraps = nullptr;

int recordError(Display* display, XErrorEvent* event) {
    std::lock_guard lock(gTrapMutex);
    if (gTraps == nullptr) return 0;
    auto it = gTraps->find(display);
    if (it != gTraps->end() && it->second == 0) it->second = event->error_code;
    return 0;
}

void installHandlerOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        gTraps = new std::map<Display*, int>();  // lives for the process, like the handler
        XSetErrorHandler(recordError);
    });
}

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(const std::string& displayName) {
    installHandlerOnce();
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) return nullptr;
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::~X11Connection() {
    {
        std::lock_guard lock(gTrapMutex);
        gTraps->erase(display_);
    }
    XCloseDisplay(display_);
}

Atom X11Connection::atom(const char* name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    const Atom value = XInternAtom(display_, name, False);
    atoms_.emplace(name, value);
    return value;
}

int X11Connection::trapped(const std::function<void()>& call) {
    XSync(display_, False);
    {
        std::lock_guard lock(gTrapMutex);
        (*gTraps)[display_] = 0;
    }
    call();
    XSync(display_, False);
    std::lock_guard lock(gTrapMutex);
    const int error = (*gTraps)[display_];
    gTraps->erase(display_);
    return error;
}

std::vector<unsigned long> X11Connection::cardinals(Window window, const char* property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    const int error = trapped([&] {
        if (XGetWindowProperty(display_, window, atom(property), 0, 4096, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) != Success) {
            data = nullptr;
        }
    });
    if (error == 0 && data != nullptr && format == 32) {
        // Xlib hands 32-bit items out as longs.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data != nullptr) XFree(data);
    return values;
}

std::optional<std::string> X11Connection::text(Window window, const char* property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int error = trapped([&] {
        if (XGetWindowProperty(display_, window, atom(property), 0, 65536, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) != Success) {
            data = nullptr;
        }
    });
    std::optional<std::string> value;
    if (error == 0 && data != nullptr && format == 8) value.emplace(reinterpret_cast<const char*>(data), count);
    if (data != nullptr) XFree(data);
    return value;
}

std::optional<std::pair<std::string, std::string>> X11Connection::windowClass(Window window) {
    const std::optional<std::string> raw = text(window, "WM_CLASS");
    if (!raw) return std::nullopt;
    // Two NUL-terminated strings: the instance, then the class.
    const std::size_t split = raw->find('\0');
    std::string instance = raw->substr(0, split);
    std::string klass;
    if (split != std::string::npos) {
        klass = raw->substr(split + 1);
        if (const std::size_t end = klass.find('\0'); end != std::string::npos) klass.resize(end);
    }
    return std::make_pair(std::move(instance), std::move(klass));
}

std::vector<Window> X11Connection::children(Window window) {
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    const int error = trapped([&] {
        if (XQueryTree(display_, window, &rootReturn, &parentReturn, &list, &count) == 0) list = nullptr;
    });
    if (error == 0 && list != nullptr) result.assign(list, list + count);
    if (list != nullptr) XFree(list);
    return result;
}

Window X11Connection::parent(Window window) {
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    const int error = trapped([&] {
        if (XQueryTree(display_, window, &rootReturn, &parentReturn, &list, &count) == 0) parentReturn = 0;
    });
    if (list != nullptr) XFree(list);
    if (error != 0 || window == rootReturn) return 0;
    return parentReturn;
}

}  // namespace veska::platform
