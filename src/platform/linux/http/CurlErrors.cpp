// libcurl result codes mapped onto the HTTP port's failures.
#include "platform/linux/http/CurlErrors.h"

namespace veska::platform {

ports::HttpErrorKind curlErrorKind(CURLcode code, bool headArrived) {
    using ports::HttpErrorKind;
    switch (code) {
        case CURLE_URL_MALFORMAT:
            return HttpErrorKind::invalidUrl;
        case CURLE_OPERATION_TIMEDOUT:
            return HttpErrorKind::timeout;
        case CURLE_TOO_MANY_REDIRECTS:
            return HttpErrorKind::tooManyRedirects;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
        case CURLE_USE_SSL_FAILED:
            return HttpErrorKind::tls;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_BAD_CONTENT_ENCODING:
            return HttpErrorKind::badResponse;
        // An answer without a status line (HTTP/0.9) is refused as an unsupported protocol.
        case CURLE_UNSUPPORTED_PROTOCOL:
            return headArrived ? HttpErrorKind::network : HttpErrorKind::badResponse;
        default:
            return HttpErrorKind::network;
    }
}

}  // namespace veska::platform
