// A local core on the simulated network for the client and start-up tests.
#pragma once

#include <string>

#include "core/app/LocalCoreClient.h"
#include "platform/sim/SimHttpClient.h"
#include "platform/sim/SimHttpServer.h"
#include "runtime/VirtualLoop.h"

namespace veska::testing {

inline constexpr char kCoreOrigin[] = "http://127.0.0.1:8797";

/// A dashboard page and a healthy core, as a working core answers.
inline void serveHealthyCore(sim::SimHttpServer& server) {
    server.reply(ports::HttpMethod::get, "/healthz", 200, R"({"ok":true})");
    server.reply(ports::HttpMethod::get, "/", 200, "<!doctype html><HTML><body>Veska</body></HTML>",
                 {{"Content-Type", "text/html; charset=utf-8"}});
}

struct LocalCoreRig {
    rt::VirtualLoop loop;
    sim::SimHttpServer core{kCoreOrigin};
    sim::SimHttpClient http{loop.lane("network")};
    LocalCoreClient client{http, kCoreOrigin, ""};

    LocalCoreRig() { http.attach(core); }

    template <class T>
    auto run(rt::Task<T> task) {
        return loop.run(std::move(task), 600);
    }
};

}  // namespace veska::testing
