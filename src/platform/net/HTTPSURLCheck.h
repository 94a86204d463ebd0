#pragma once

// Whether a text is an https URL the device could load, checked by libcurl's own URL parser (the
// one every load goes through), before anything is fetched:
//
//     checkHTTPSURL("https://repo.example:8443/list.json");   // a success
//     checkHTTPSURL("https://127.0.0.1:99999").reason();       // "its port must be 1 to 65535"
//
// A failure's reason names what is wrong in a few words: a scheme other than https, no host, a
// port outside 1 to 65535, or text that is no URL at all (spaces, control characters, a broken
// authority), or, for an https URL, that libcurl could not be loaded (CurlLibrary::load's reason). The reasons read after what the URL is for ("the catalogue URL is not ...: its
// port must be 1 to 65535").

#include "platform/foundation/Result.h"

#include <string>

Result<> checkHTTPSURL(const std::string& url);
