// The desktop browser user agent presented by requests to the web services outside a web view.
#pragma once

namespace veska {

inline constexpr char kBrowserUserAgent[] =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 "
    "Safari/605.1.15";

}  // namespace veska
