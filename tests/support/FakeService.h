// Starts a loopback fake of a remote service (tests/fakes/NAME/server.mjs) and talks to it.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace veska::testing {

/// A status and body read back from a fake.
struct FakeReply {
    int status = 0;
    std::string body;
};

/// One running fake: a Node.js process on a free loopback port, stopped by the destructor
/// (and by itself when the test process dies, since its standard input closes). The fakes'
/// control endpoints script their next answers and report what they saw; see the README of
/// tests/fakes. Node is taken from VESKA_NODE, else "node" on the PATH.
class FakeService {
public:
    /// Starts tests/fakes/`name`/server.mjs with `arguments`; throws std::runtime_error when it
    /// does not report its port within a few seconds.
    explicit FakeService(const std::string& name, const std::vector<std::string>& arguments = {});
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    /// "http://127.0.0.1:PORT", without a trailing "/".
    [[nodiscard]] std::string baseUrl() const;
    [[nodiscard]] int port() const { return port_; }

    /// A blocking request to the fake (for its control endpoints); throws when it cannot.
    [[nodiscard]] FakeReply request(const std::string& method, const std::string& path,
                                    const std::string& jsonBody = {}) const;
    FakeReply post(const std::string& path, const std::string& jsonBody) const {
        return request("POST", path, jsonBody);
    }
    [[nodiscard]] FakeReply get(const std::string& path) const { return request("GET", path); }

    /// The directory holding the fakes.
    [[nodiscard]] static std::string fakesDirectory();

private:
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
};

}  // namespace veska::testing
