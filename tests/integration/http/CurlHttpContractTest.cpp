// The HTTP client contract, run against the libcurl client and loopback servers.
#include "contract/HttpClientContract.h"
#include "contract/HttpStreamContract.h"
#include "integration/http/CurlHttpEnv.h"

namespace veska::contract {

INSTANTIATE_TYPED_TEST_SUITE_P(Curl, HttpClientContract, platform::CurlHttpFactory);
INSTANTIATE_TYPED_TEST_SUITE_P(Curl, HttpStreamContract, platform::CurlHttpFactory);

}  // namespace veska::contract
