// The libcurl client verifies certificates and host names: against a loopback HTTPS server.
#include <gtest/gtest.h>

#include "integration/http/CurlHttpEnv.h"
#include "integration/http/LoopbackTlsServer.h"
#include "support/TempDir.h"

namespace veska::platform {

namespace {

using contract::http::fetchAll;
using contract::http::get;

}  // namespace

TEST(CurlTls, OnlyACertificateTrustedAndMadeForTheHostIsAccepted) {
    struct Row {
        std::string name;
        std::string hostNames;  // of the server's certificate
        bool trusted;           // the client is given the certificate as its authority
        bool accepted;
    };
    const std::vector<Row> rows = {
        {"self-signed, system authorities", "DNS:localhost,IP:127.0.0.1", false, false},
        {"trusted and made for the address", "DNS:localhost,IP:127.0.0.1", true, true},
        {"trusted but made for another host", "DNS:api.other.invalid", true, false},
    };
    CurlHttpEnv env;  // executor and proxy settings
    testing::TempDir dir;
    for (const Row& row : rows) {
        LoopbackTlsServer server(dir.path(), row.hostNames);
        CurlHttpOptions options;
        if (row.trusted) options.caFile = server.certificateFile().string();
        CurlHttpClient client(options);
        if (row.accepted) {
            auto got = contract::runTask(env, fetchAll(&client, get(server.baseUrl() + "/"), 100));
            EXPECT_EQ(got.status, 200) << row.name;
            EXPECT_EQ(got.body, "ok") << row.name;
            continue;
        }
        auto error =
            contract::runForError<ports::HttpError>(env, fetchAll(&client, get(server.baseUrl() + "/"), 100));
        ASSERT_TRUE(error.has_value()) << row.name;
        EXPECT_EQ(error->kind(), ports::HttpErrorKind::tls) << row.name;
        EXPECT_EQ(server.requestsAnswered(), 0)
            << row.name << ": nothing is sent over a connection not verified";
    }
}

}  // namespace veska::platform
