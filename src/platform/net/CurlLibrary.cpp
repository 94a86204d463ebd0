#include "platform/net/CurlLibrary.h"

#include "platform/foundation/NSLog.h"
#include "platform/process/LazyLibrary.h"

#include <curl/curl.h>

#include <cstdarg>
#include <string>
#include <type_traits>

#ifndef ORBITCHAT_LIBCURL_SONAME
#error "ORBITCHAT_LIBCURL_SONAME (the library's soname) is set by src/platform/net/CMakeLists.txt"
#endif

// The functions forwarded: every one that the URL loading system, the URL check and the tests of
// the error texts call, and the library's initialisation. A call to one not listed here fails to link, since nothing links
// libcurl.
#define ORBITCHAT_CURL_FUNCTIONS(X)                                                                          \
    X(curl_easy_cleanup)                                                                                     \
    X(curl_easy_getinfo)                                                                                     \
    X(curl_easy_init)                                                                                        \
    X(curl_easy_setopt)                                                                                      \
    X(curl_easy_strerror)                                                                                    \
    X(curl_free)                                                                                             \
    X(curl_global_init)                                                                                      \
    X(curl_multi_add_handle)                                                                                 \
    X(curl_multi_cleanup)                                                                                    \
    X(curl_multi_info_read)                                                                                  \
    X(curl_multi_init)                                                                                       \
    X(curl_multi_perform)                                                                                    \
    X(curl_multi_poll)                                                                                       \
    X(curl_multi_remove_handle)                                                                              \
    X(curl_multi_wakeup)                                                                                     \
    X(curl_slist_append)                                                                                     \
    X(curl_slist_free_all)                                                                                   \
    X(curl_url)                                                                                              \
    X(curl_url_cleanup)                                                                                      \
    X(curl_url_get)                                                                                          \
    X(curl_url_set)                                                                                          \
    X(curl_url_strerror)                                                                                     \
    X(curl_version_info)

namespace {

// The library's functions, found once, or why they could not be.
struct CurlFunctions {
    ORBITCHAT_CURL_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    std::string failure;
};

CurlFunctions resolveCurl() {
    CurlFunctions f;
    LibraryLookup lookup;
    lookup.open(ORBITCHAT_LIBCURL_SONAME);
    ORBITCHAT_CURL_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    // Initialised once for the process and never cleaned up: the library stays loaded for the
    // life of the process, and libcurl's global state is not safe to set up or tear down while
    // another thread may be using it.
    if (!lookup.failed()) {
        if (CURLcode code = f.curl_global_init(CURL_GLOBAL_DEFAULT); code != CURLE_OK)
            lookup.fail("it did not initialise (libcurl's code " + std::to_string(code) + ")");
    }
    // All or nothing: a library that lacks one function, or cannot start, is used for none.
    CurlFunctions loaded =
        lookup.finish(f, "the network library (" ORBITCHAT_LIBCURL_SONAME ") could not be loaded: ");
    if (!loaded.failure.empty())
        NSLog("URL loading: %@", {PlistValue(loaded.failure)});
    return loaded;
}

const CurlFunctions& curlFunctions() {
    // Loaded at the first call from any thread; a thread that comes while another loads waits for
    // it, so every caller sees the same outcome.
    static LazyLibrary<CurlFunctions> library;
    return library.functions(resolveCurl);
}

// What a forwarder answers when the library is missing: what libcurl answers when it cannot start
// (no handle, a failed initialisation, a handle it does not know).
struct CurlAnswers {
    template <class R> static R unavailable() {
        if constexpr (std::is_same_v<R, CURLcode>)
            return CURLE_FAILED_INIT;
        else if constexpr (std::is_same_v<R, CURLMcode>)
            return CURLM_BAD_HANDLE;
        else if constexpr (std::is_same_v<R, CURLUcode>)
            return CURLUE_BAD_HANDLE;
        else
            static_assert(std::is_void_v<R>, "a forwarder's result needs an answer for a missing library");
    }
};

template <class R, class... Parameters, class... Arguments>
R forward(R (*function)(Parameters...), Arguments... arguments) {
    return forwardTo<CurlAnswers>(function, arguments...);
}

} // namespace

Result<> CurlLibrary::load() {
    const CurlFunctions& f = curlFunctions();
    if (!f.failure.empty())
        return Failure{f.failure};
    return {};
}

// The forwarders, under libcurl's own names. Each definition must match the header's declaration,
// or the C function's two prototypes conflict and the file does not compile. Two names are also
// macros of the header's type checks, and are written in parentheses where they are defined or
// called, so that the macros leave them alone.
extern "C" {

void curl_easy_cleanup(CURL* handle) {
    forward(curlFunctions().curl_easy_cleanup, handle);
}

CURL* curl_easy_init() {
    return forward(curlFunctions().curl_easy_init);
}

// libcurl reads the one argument after the option by the option's type, which its number tells:
// a long, a pointer, a function, a file offset or a blob. It is read here the same way and passed
// on as the same type.
CURLcode(curl_easy_setopt)(CURL* handle, CURLoption option, ...) {
    const CurlFunctions& f = curlFunctions();
    if (!f.curl_easy_setopt)
        return CURLE_FAILED_INIT;
    using AnyFunction = void (*)();
    va_list arguments;
    va_start(arguments, option);
    CURLcode code;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        code = (f.curl_easy_setopt)(handle, option, va_arg(arguments, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        code = (f.curl_easy_setopt)(handle, option, va_arg(arguments, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        code = (f.curl_easy_setopt)(handle, option, va_arg(arguments, AnyFunction));
    else if (option < CURLOPTTYPE_BLOB)
        code = (f.curl_easy_setopt)(handle, option, va_arg(arguments, curl_off_t));
    else
        code = (f.curl_easy_setopt)(handle, option, va_arg(arguments, void*));
    va_end(arguments);
    return code;
}

// Every piece of information is answered through a pointer of the caller's.
CURLcode(curl_easy_getinfo)(CURL* handle, CURLINFO info, ...) {
    const CurlFunctions& f = curlFunctions();
    if (!f.curl_easy_getinfo)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, info);
    CURLcode code = (f.curl_easy_getinfo)(handle, info, va_arg(arguments, void*));
    va_end(arguments);
    return code;
}

// Without the library there is no text for a code; the failure to load it is the text.
const char* curl_easy_strerror(CURLcode code) {
    const CurlFunctions& f = curlFunctions();
    return f.curl_easy_strerror ? f.curl_easy_strerror(code) : f.failure.c_str();
}

void curl_free(void* p) {
    forward(curlFunctions().curl_free, p);
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    return forward(curlFunctions().curl_multi_add_handle, multi, handle);
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    return forward(curlFunctions().curl_multi_cleanup, multi);
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* messagesInQueue) {
    return forward(curlFunctions().curl_multi_info_read, multi, messagesInQueue);
}

CURLM* curl_multi_init() {
    return forward(curlFunctions().curl_multi_init);
}

CURLMcode curl_multi_perform(CURLM* multi, int* runningHandles) {
    return forward(curlFunctions().curl_multi_perform, multi, runningHandles);
}

CURLMcode curl_multi_poll(CURLM* multi, struct curl_waitfd extraFds[], unsigned int extraCount, int timeoutMs,
                          int* ready) {
    return forward(curlFunctions().curl_multi_poll, multi, extraFds, extraCount, timeoutMs, ready);
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    return forward(curlFunctions().curl_multi_remove_handle, multi, handle);
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
    return forward(curlFunctions().curl_multi_wakeup, multi);
}

struct curl_slist* curl_slist_append(struct curl_slist* list, const char* data) {
    return forward(curlFunctions().curl_slist_append, list, data);
}

void curl_slist_free_all(struct curl_slist* list) {
    forward(curlFunctions().curl_slist_free_all, list);
}

CURLU* curl_url() {
    return forward(curlFunctions().curl_url);
}

void curl_url_cleanup(CURLU* handle) {
    forward(curlFunctions().curl_url_cleanup, handle);
}

CURLUcode curl_url_get(CURLU* handle, CURLUPart what, char** part, unsigned int flags) {
    return forward(curlFunctions().curl_url_get, handle, what, part, flags);
}

CURLUcode curl_url_set(CURLU* handle, CURLUPart what, const char* part, unsigned int flags) {
    return forward(curlFunctions().curl_url_set, handle, what, part, flags);
}

// Without the library there is no parser to name a reason; the failure to load it is the reason.
const char* curl_url_strerror(CURLUcode code) {
    const CurlFunctions& f = curlFunctions();
    return f.curl_url_strerror ? f.curl_url_strerror(code) : f.failure.c_str();
}

curl_version_info_data* curl_version_info(CURLversion version) {
    return forward(curlFunctions().curl_version_info, version);
}

} // extern "C"
