// How libcurl's result codes read as the HTTP port's failures.
#pragma once

#include <curl/curl.h>

#include "ports/HttpError.h"

namespace veska::platform {

/// The failure a transfer that ended with `code` reports; `headArrived` tells a body cut off
/// from an answer that was never HTTP.
[[nodiscard]] ports::HttpErrorKind curlErrorKind(CURLcode code, bool headArrived);

}  // namespace veska::platform
