#include "platform/net/HTTPSURLCheck.h"

#include "platform/foundation/StringHelpers.h"
#include "platform/net/CurlErrorMapping.h"
#include "platform/net/CurlLibrary.h"

#include <curl/curl.h>

#include <memory>

namespace {

struct URLHandleFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct CurlTextFree {
    void operator()(char* text) const { curl_free(text); }
};

} // namespace

Result<> checkHTTPSURL(const std::string& url) {
    if (lowercaseSchemeOf(url) != "https")
        return Failure{"it must start with https://"};
    // The parser is libcurl's; without it the URL cannot be checked, and the reason says why.
    if (auto loaded = CurlLibrary::load(); !loaded)
        return loaded.failure();
    std::unique_ptr<CURLU, URLHandleFree> handle(curl_url());
    if (!handle)
        return Failure{"it cannot be read (out of memory)"};
    CURLUcode code = curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0);
    switch (code) {
    case CURLUE_OK:
        break;
    case CURLUE_BAD_PORT_NUMBER:
        return Failure{"its port must be 1 to 65535"};
    case CURLUE_NO_HOST:
        return Failure{"it names no host"};
    default:
        return Failure{"it is not a URL (" + lowercased(curl_url_strerror(code)) + ")"};
    }
    // libcurl takes a port of 0, which no server listens at.
    char* text = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_PORT, &text, 0) == CURLUE_OK) {
        std::unique_ptr<char, CurlTextFree> port(text);
        if (std::string(port.get()) == "0")
            return Failure{"its port must be 1 to 65535"};
    }
    if (curl_url_get(handle.get(), CURLUPART_HOST, &text, 0) != CURLUE_OK)
        return Failure{"it names no host"};
    std::unique_ptr<char, CurlTextFree> host(text);
    if (!host || !*host)
        return Failure{"it names no host"};
    return {};
}
