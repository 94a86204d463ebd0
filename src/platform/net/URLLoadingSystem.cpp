#include "platform/net/URLLoadingSystem.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/net/CurlErrorMapping.h"
#include "platform/net/CurlLibrary.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLResponse.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <deque>
#include <mutex>
#include <strings.h>
#include <thread>

namespace {

// The OpenSSL functions that the trust store calls. The program does not link OpenSSL: the trust
// store is built only inside libcurl's callback for a new TLS context, when libcurl (loaded at the
// first network load, CurlLibrary.h) has brought libssl and libcrypto in, so they are found among
// the libraries already loaded, never loaded here. Their prototypes come from OpenSSL's headers,
// so a function of the wrong type does not compile.
#ifndef ORBITCHAT_LIBSSL_SONAME
#error "ORBITCHAT_LIBSSL_SONAME and ORBITCHAT_LIBCRYPTO_SONAME are set by src/platform/net/CMakeLists.txt"
#endif
#define ORBITCHAT_LIBCRYPTO_FUNCTIONS(X)                                                                     \
    X(BIO_free)                                                                                              \
    X(BIO_new_mem_buf)                                                                                       \
    X(PEM_read_bio_X509)                                                                                     \
    X(X509_STORE_add_cert)                                                                                   \
    X(X509_STORE_free)                                                                                       \
    X(X509_STORE_new)                                                                                        \
    X(X509_STORE_set_default_paths)                                                                          \
    X(X509_free)
#define ORBITCHAT_LIBSSL_FUNCTIONS(X) X(SSL_CTX_set1_cert_store)

struct OpenSSLFunctions {
#define ORBITCHAT_OPENSSL_POINTER(name) decltype(&::name) name = nullptr;
    ORBITCHAT_LIBCRYPTO_FUNCTIONS(ORBITCHAT_OPENSSL_POINTER)
    ORBITCHAT_LIBSSL_FUNCTIONS(ORBITCHAT_OPENSSL_POINTER)
#undef ORBITCHAT_OPENSSL_POINTER
    std::string failure;
};

// A library that must be loaded already (RTLD_NOLOAD), with its functions in `f`. The handle is
// kept for the process's life: the reference it holds keeps the library mapped for as long as a
// store made with it may still be freed.
template <class Resolve> void resolveLoaded(const char* soname, OpenSSLFunctions& f, Resolve resolve) {
    if (!f.failure.empty())
        return;
    void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!handle) {
        f.failure = std::string(soname) + " is not loaded";
        return;
    }
    resolve(handle);
}

const OpenSSLFunctions& openSSLFunctions() {
    // Found at the first TLS connection, from whichever I/O thread makes it; every caller sees the
    // same outcome. All or nothing: with one function missing none is used.
    static const OpenSSLFunctions found = [] {
        OpenSSLFunctions f;
#define ORBITCHAT_OPENSSL_RESOLVE(name)                                                                      \
    if (f.failure.empty()) {                                                                                 \
        f.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                  \
        if (!f.name)                                                                                         \
            f.failure = "it has no " #name;                                                                  \
    }
        resolveLoaded(ORBITCHAT_LIBCRYPTO_SONAME, f,
                      [&](void* handle) { ORBITCHAT_LIBCRYPTO_FUNCTIONS(ORBITCHAT_OPENSSL_RESOLVE) });
        resolveLoaded(ORBITCHAT_LIBSSL_SONAME, f,
                      [&](void* handle) { ORBITCHAT_LIBSSL_FUNCTIONS(ORBITCHAT_OPENSSL_RESOLVE) });
#undef ORBITCHAT_OPENSSL_RESOLVE
        if (!f.failure.empty()) {
            OpenSSLFunctions none;
            none.failure = "the device's trusted certificates cannot be set up: " + f.failure;
            NSLog("URL loading: %@", {PlistValue(none.failure)});
            return none;
        }
        return f;
    }();
    return found;
}

// The certificates the device trusts: the host's trust store (OpenSSL's default locations) and
// the device's own certificates. Made once per setDeviceNetwork, built at the first connection
// that needs it (on the I/O thread: reading the host's bundle takes tens of milliseconds), and
// handed to every connection made under it, so no connection reads the host's bundle again.
// Only a store that was built holds anything of OpenSSL's, and its library is then loaded for
// good (resolveLoaded), so a store that is never built costs nothing and frees nothing.
class TrustStore {
public:
    explicit TrustStore(std::vector<std::string> pems) : pems_(std::move(pems)) {}
    ~TrustStore() {
        if (store_)
            openSSLFunctions().X509_STORE_free(store_);
    }
    TrustStore(const TrustStore&) = delete;
    TrustStore& operator=(const TrustStore&) = delete;

    // Called only from libcurl's context callback, so with libcurl's OpenSSL loaded.
    bool installIn(SSL_CTX* context) const {
        std::call_once(built_, [this] { build(); });
        if (!store_)
            return false;
        openSSLFunctions().SSL_CTX_set1_cert_store(context, store_);
        return true;
    }

private:
    void build() const {
        const OpenSSLFunctions& ssl = openSSLFunctions();
        if (!ssl.failure.empty())
            return;
        store_ = ssl.X509_STORE_new();
        if (!store_)
            return;
        ssl.X509_STORE_set_default_paths(store_);
        for (const auto& pem : pems_) {
            BIO* bio = ssl.BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
            X509* cert = bio ? ssl.PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
            ssl.BIO_free(bio);
            if (!cert) {
                NSLog("URL loading: a trusted certificate of the device is not a PEM certificate; skipped");
                continue;
            }
            ssl.X509_STORE_add_cert(store_, cert); // the store takes its own reference
            ssl.X509_free(cert);
        }
    }

    std::vector<std::string> pems_;
    mutable std::once_flag built_;
    mutable X509_STORE* store_ = nullptr;
};

// How many loads are not yet through their completion. Shared with the completions handed to a
// queue, which may run after the engine has ended.
struct Tally {
    std::mutex mutex;
    std::condition_variable idle;
    std::size_t inFlight = 0;

    void add() {
        std::lock_guard lock(mutex);
        ++inFlight;
    }
    void done() {
        std::lock_guard lock(mutex);
        if (inFlight > 0 && --inFlight == 0)
            idle.notify_all();
    }
};

using Completion = std::function<void(URLLoadingSystem::Result)>;

// A completion handed to a queue. Whoever takes it out first, the queue's block or the engine's
// shutDown, runs it or drops it and counts the load as done; the other finds it empty.
struct Handoff {
    std::uint64_t id = 0;
    std::shared_ptr<Tally> tally;
    std::mutex mutex;
    std::condition_variable done;
    Completion complete;
    URLLoadingSystem::Result result;
    bool taken = false;
    // Whether a queue's thread is running the completion now, and which.
    bool running = false;
    std::thread::id runner;

    // Takes the completion out, once; `toRun` when the taker is about to run it.
    bool take(Completion& completeOut, URLLoadingSystem::Result& resultOut, bool toRun) {
        std::lock_guard lock(mutex);
        if (taken)
            return false;
        taken = true;
        running = toRun;
        runner = std::this_thread::get_id();
        completeOut = std::move(complete);
        resultOut = std::move(result);
        return true;
    }
    void finished() {
        std::lock_guard lock(mutex);
        running = false;
        done.notify_all();
    }
    // Waits until a completion running on another thread has returned.
    void waitUntilRun() {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return !running || runner == std::this_thread::get_id(); });
    }
};

} // namespace

struct URLLoadingSystem::Engine {
    struct Transfer {
        std::uint64_t id = 0;
        Load load;
        CURL* easy = nullptr;
        curl_slist* headerList = nullptr;
        curl_slist* connectTo = nullptr;
        // The device's "connect to" entries, made into connectTo on the I/O thread.
        std::vector<std::string> connectToEntries;
        std::shared_ptr<const TrustStore> trust;
        std::size_t maximumBodyBytes = 0;
        bool overMaximum = false;
        // Whether a status line of the server's has arrived.
        bool responseStarted = false;
        PlistData body;
        std::map<std::string, std::string> responseHeaders;
        char errorText[CURL_ERROR_SIZE] = {};

        // A load that never reached libcurl has no lists, and must not load the library to say so.
        ~Transfer() {
            if (headerList)
                curl_slist_free_all(headerList);
            if (connectTo)
                curl_slist_free_all(connectTo);
        }
    };

    struct Delivery {
        std::uint64_t id = 0;
        Result result;
        dispatch_queue_t queue;
        Completion complete;
    };

    // libcurl is not touched here: a device that never loads anything never loads the library.
    // The I/O thread sets it up when the first load starts it (startIO).
    Engine() { trust = std::make_shared<const TrustStore>(std::vector<std::string>{}); }

    ~Engine() {
        shutDown();
        if (multi)
            curl_multi_cleanup(multi);
    }

    // Loads libcurl (for the process, once) and makes this engine's multi handle; on the I/O
    // thread, so that the loading costs no caller its time. Without the library every load fails
    // with the reason (libraryFailure).
    void startIO() {
        auto loaded = CurlLibrary::load();
        CURLM* made = loaded ? curl_multi_init() : nullptr;
        bool overOpenSSL = false;
        if (made) {
            const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
            overOpenSSL =
                info && info->ssl_version && std::string(info->ssl_version).rfind("OpenSSL", 0) == 0;
        }
        std::lock_guard lock(mutex);
        multi = made;
        openssl = overOpenSSL;
        if (!loaded)
            libraryFailure = loaded.reason();
        else if (!made)
            libraryFailure = "the network library could not start a transfer engine";
    }

    // What a load completes with when libcurl is missing: the reason, naming the library.
    std::shared_ptr<NSError> libraryError() const {
        return NSError::create(NSURLErrorDomain, NSURLErrorUnknown, libraryFailure);
    }

    // Stops both threads, ends every transfer, and drops every completion not yet run, in the
    // order the loads started. Runs on the thread that ends the environment, after which nothing
    // of the engine runs anywhere: no thread, no transfer, and no completion handed to a queue.
    void shutDown() {
        CURLM* wake = nullptr;
        {
            std::lock_guard lock(mutex);
            if (stopping)
                return;
            stopping = true;
            // A multi handle made after this finds the engine stopping before it ever waits.
            wake = multi;
        }
        if (wake)
            curl_multi_wakeup(wake);
        work.notify_all();
        deliveryReady.notify_all();
        // A completion running on the delivery thread finishes first; the I/O thread leaves its
        // poll at the wake-up.
        if (ioThread.joinable())
            ioThread.join();
        if (deliveryThread.joinable())
            deliveryThread.join();

        std::vector<std::pair<std::uint64_t, Completion>> dropped;
        std::vector<std::shared_ptr<Handoff>> running;
        {
            std::lock_guard lock(mutex);
            for (auto& t : pending)
                dropped.emplace_back(t->id, std::move(t->load.complete));
            for (auto& [easy, t] : active) {
                curl_multi_remove_handle(multi, easy);
                curl_easy_cleanup(easy);
                t->easy = nullptr;
                dropped.emplace_back(t->id, std::move(t->load.complete));
            }
            for (auto* list : {&deliveries, &held})
                for (auto& d : *list)
                    dropped.emplace_back(d.id, std::move(d.complete));
            for (auto& weak : handedOff) {
                auto handoff = weak.lock();
                if (!handoff)
                    continue;
                Completion complete;
                Result unused;
                if (handoff->take(complete, unused, false))
                    dropped.emplace_back(handoff->id, std::move(complete));
                else
                    running.push_back(std::move(handoff));
            }
            pending.clear();
            active.clear();
            deliveries.clear();
            held.clear();
            handedOff.clear();
        }
        // A completion that a queue of other threads runs right now returns before the device ends.
        for (const auto& handoff : running)
            handoff->waitUntilRun();
        std::sort(dropped.begin(), dropped.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        // Dropped one by one, outside the lock: what a completion held (a screen, its views) may
        // reach the engine, or other parts of the device, as it goes.
        for (auto& [id, complete] : dropped) {
            complete = nullptr;
            tally->done();
        }
    }

    // The I/O thread starts with the first load that goes out (and loads libcurl then); loads that
    // fail before going out need only the delivery thread.
    void startIOThreadLocked() {
        if (!ioThread.joinable())
            ioThread = std::thread([this] { ioLoop(); });
    }

    void startThreadsLocked() {
        if (!deliveryThread.joinable())
            deliveryThread = std::thread([this] { deliveryLoop(); });
    }

    // Finishes a load: its completion is delivered now, or kept back while responses are held.
    void finishLocked(std::unique_ptr<Transfer> transfer, Result result) {
        Delivery delivery{transfer->id, std::move(result), std::move(transfer->load.queue),
                          std::move(transfer->load.complete)};
        if (hold)
            held.push_back(std::move(delivery));
        else
            deliveries.push_back(std::move(delivery));
        deliveryReady.notify_one();
    }

    void finish(std::unique_ptr<Transfer> transfer, Result result) {
        std::lock_guard lock(mutex);
        finishLocked(std::move(transfer), std::move(result));
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        std::size_t n = size * count;
        if (t->body.size() + n > t->maximumBodyBytes) {
            t->overMaximum = true;
            return 0; // any short count makes libcurl end the transfer with an error
        }
        t->body.insert(t->body.end(), data, data + n);
        return n;
    }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        std::size_t n = size * count;
        std::string line(data, n);
        // Each response of a redirect chain starts with its status line: only the last one counts.
        if (line.rfind("HTTP/", 0) == 0) {
            t->responseStarted = true;
            t->responseHeaders.clear();
            return n;
        }
        auto colon = line.find(':');
        if (colon != std::string::npos && colon > 0)
            t->responseHeaders[line.substr(0, colon)] = trimmed(line.substr(colon + 1));
        return n;
    }

    static CURLcode onSSLContext(CURL*, void* sslContext, void* user) {
        auto* t = static_cast<Transfer*>(user);
        if (!t->trust || !t->trust->installIn(static_cast<SSL_CTX*>(sslContext)))
            return CURLE_SSL_CACERT_BADFILE;
        return CURLE_OK;
    }

    bool configure(Transfer& t) {
        CURL* e = t.easy;
        const Load& load = t.load;
        bool ok = true;
        auto set = [&](CURLcode code) { ok = ok && code == CURLE_OK; };
        set(curl_easy_setopt(e, CURLOPT_URL, load.url.c_str()));
        set(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https"));
        set(curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https"));
        set(curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L));
        set(curl_easy_setopt(e, CURLOPT_MAXREDIRS, 16L));
        set(curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L));
        set(curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L));
        set(curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L));
        // The encodings the platform's URL session asks for, and no others: an empty list would
        // offer whatever libcurl can decode. Each is decoded before the body reaches onBody, so the
        // body cap holds for the decoded bytes, and a small compressed bomb fails as a large body.
        set(curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, kAcceptEncoding));
        set(curl_easy_setopt(e, CURLOPT_USERAGENT, "Preferences/1 CFNetwork/1410.0.3 Darwin/22.6.0"));
        set(curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorText));
        // The request's time-out bounds connecting and every stretch without data.
        double timeout =
            std::isfinite(load.timeoutInterval) && load.timeoutInterval > 0 ? load.timeoutInterval : 60;
        set(curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout * 1000)));
        set(curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L));
        set(curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, std::max(1L, static_cast<long>(std::ceil(timeout)))));
        if (std::isfinite(load.resourceTimeout) && load.resourceTimeout > 0)
            set(curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(load.resourceTimeout * 1000)));
        set(curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.maximumBodyBytes)));
        set(curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Engine::onBody));
        set(curl_easy_setopt(e, CURLOPT_WRITEDATA, &t));
        set(curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Engine::onHeader));
        set(curl_easy_setopt(e, CURLOPT_HEADERDATA, &t));
        // Each connection gets the device's trust store; libcurl then loads no certificates of
        // its own. (Without OpenSSL under libcurl, its own store serves, and the device's extra
        // certificates are not trusted.)
        if (openssl && t.trust) {
            // TLS sessions are a session's own on the platform; one of another session's server
            // would skip the checks against this connection's store.
            set(curl_easy_setopt(e, CURLOPT_SSL_SESSIONID_CACHE, 0L));
            // libcurl would otherwise keep the first connection's store for the next ones.
            set(curl_easy_setopt(e, CURLOPT_CA_CACHE_TIMEOUT, 0L));
            set(curl_easy_setopt(e, CURLOPT_CAINFO, nullptr));
            set(curl_easy_setopt(e, CURLOPT_CAPATH, nullptr));
            set(curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &Engine::onSSLContext));
            set(curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, &t));
        }
        for (const auto& entry : t.connectToEntries)
            t.connectTo = curl_slist_append(t.connectTo, entry.c_str());
        if (t.connectTo)
            set(curl_easy_setopt(e, CURLOPT_CONNECT_TO, t.connectTo));
        for (const auto& [name, value] : load.headers)
            t.headerList = curl_slist_append(t.headerList, (name + ": " + value).c_str());
        if (t.headerList)
            set(curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList));
        if (load.method == "HEAD") {
            set(curl_easy_setopt(e, CURLOPT_NOBODY, 1L));
        } else if (load.method == "GET" && load.body.empty()) {
            set(curl_easy_setopt(e, CURLOPT_HTTPGET, 1L));
        } else {
            set(curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, load.method.c_str()));
            if (!load.body.empty()) {
                set(curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                                     static_cast<curl_off_t>(load.body.size())));
                set(curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, load.body.data()));
            }
        }
        return ok;
    }

    Result resultOf(Transfer& t, CURLcode code) {
        Result result;
        if (code != CURLE_OK) {
            CurlFailureFacts facts;
            facts.url = t.load.url;
            char* effective = nullptr;
            curl_easy_getinfo(t.easy, CURLINFO_EFFECTIVE_URL, &effective);
            facts.effectiveURL = effective ? effective : "";
            curl_easy_getinfo(t.easy, CURLINFO_SSL_VERIFYRESULT, &facts.verifyResult);
            facts.overMaximum = t.overMaximum;
            facts.responseStarted = t.responseStarted;
            // Header names differ in case from server to server; a plain-http target is the one
            // that tells.
            for (const auto& [name, value] : t.responseHeaders)
                if (strcasecmp(name.c_str(), "Location") == 0 &&
                    (facts.location.empty() || lowercaseSchemeOf(value) == "http"))
                    facts.location = value;
            result.error = NSURLErrorForCurl(code, facts);
            return result;
        }
        long status = 0;
        char* effective = nullptr;
        curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(t.easy, CURLINFO_EFFECTIVE_URL, &effective);
        result.response = NSHTTPURLResponse::create(effective ? effective : t.load.url, status,
                                                    std::move(t.responseHeaders));
        result.data = std::make_shared<const PlistData>(std::move(t.body));
        return result;
    }

    void ioLoop() {
        startIO();
        for (;;) {
            std::vector<std::unique_ptr<Transfer>> starting;
            std::vector<std::uint64_t> cancelling;
            {
                std::unique_lock lock(mutex);
                work.wait(lock, [&] {
                    return stopping || !active.empty() || !pending.empty() || !cancels.empty();
                });
                if (stopping)
                    return;
                starting.swap(pending);
                cancelling.swap(cancels);
            }
            for (auto& t : starting) {
                if (!multi) {
                    finish(std::move(t), {nullptr, nullptr, libraryError()});
                    continue;
                }
                t->easy = curl_easy_init();
                if (!t->easy || !configure(*t)) {
                    if (t->easy)
                        curl_easy_cleanup(t->easy);
                    t->easy = nullptr;
                    auto url = t->load.url;
                    finish(std::move(t), {nullptr, nullptr, NSURLErrorWithCode(NSURLErrorUnknown, url)});
                    continue;
                }
                curl_multi_add_handle(multi, t->easy);
                active.emplace(t->easy, std::move(t));
            }
            for (std::uint64_t id : cancelling) {
                auto it = std::find_if(active.begin(), active.end(),
                                       [&](auto& entry) { return entry.second->id == id; });
                if (it == active.end())
                    continue;
                auto t = std::move(it->second);
                active.erase(it);
                curl_multi_remove_handle(multi, t->easy);
                curl_easy_cleanup(t->easy);
                t->easy = nullptr;
                auto url = t->load.url;
                finish(std::move(t), {nullptr, nullptr, NSURLErrorWithCode(NSURLErrorCancelled, url)});
            }
            if (!multi)
                continue;
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                auto it = active.find(message->easy_handle);
                if (it == active.end())
                    continue;
                auto t = std::move(it->second);
                active.erase(it);
                CURLcode code = message->data.result;
                Result result = resultOf(*t, code);
                curl_multi_remove_handle(multi, t->easy);
                curl_easy_cleanup(t->easy);
                t->easy = nullptr;
                finish(std::move(t), std::move(result));
            }
            if (!active.empty())
                curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }

    void deliveryLoop() {
        for (;;) {
            Delivery delivery;
            {
                std::unique_lock lock(mutex);
                deliveryReady.wait(lock, [&] { return stopping || !deliveries.empty(); });
                if (stopping)
                    return;
                delivery = std::move(deliveries.front());
                deliveries.pop_front();
            }
            if (delivery.queue) {
                handOff(std::move(delivery));
                continue;
            }
            if (delivery.complete)
                delivery.complete(std::move(delivery.result));
            // The completion and what it captured go before the load counts as done.
            delivery.complete = nullptr;
            tally->done();
        }
    }

    // Gives the completion to its queue, where it runs unless shutDown drops it first.
    void handOff(Delivery delivery) {
        auto handoff = std::make_shared<Handoff>();
        handoff->id = delivery.id;
        handoff->complete = std::move(delivery.complete);
        handoff->result = std::move(delivery.result);
        handoff->tally = tally;
        {
            std::lock_guard lock(mutex);
            std::erase_if(handedOff, [](const auto& weak) { return weak.expired(); });
            handedOff.push_back(handoff);
        }
        dispatch_async(delivery.queue, [handoff] {
            Completion complete;
            Result result;
            if (!handoff->take(complete, result, true))
                return;
            if (complete)
                complete(std::move(result));
            complete = nullptr;
            handoff->finished();
            handoff->tally->done();
        });
    }

    mutable std::mutex mutex;
    // Set by the I/O thread when it starts, under the lock; read there afterwards, and by callers
    // under the lock to wake it.
    CURLM* multi = nullptr;
    bool openssl = false;
    std::string libraryFailure;
    std::condition_variable work;
    std::condition_variable deliveryReady;
    bool stopping = false;
    bool hold = false;
    std::uint64_t nextId = 1;
    std::shared_ptr<Tally> tally = std::make_shared<Tally>();
    DeviceNetwork network;
    // The network still to be made (setDeviceNetworkLazily), under its own lock: making it may
    // take a while and must not hold up the I/O thread.
    std::mutex preparing;
    std::function<DeviceNetwork()> prepare;
    std::shared_ptr<const TrustStore> trust;

    void installNetwork(DeviceNetwork given) {
        // An offline device makes no connection to trust.
        auto store =
            given.offline ? nullptr : std::make_shared<const TrustStore>(given.trustedCertificatesPEM);
        std::lock_guard lock(mutex);
        network = std::move(given);
        trust = std::move(store);
    }
    std::vector<std::unique_ptr<Transfer>> pending;
    std::vector<std::uint64_t> cancels;
    std::map<CURL*, std::unique_ptr<Transfer>> active; // the I/O thread's alone until it has stopped
    std::deque<Delivery> deliveries;
    std::deque<Delivery> held;
    // Completions given to a queue and perhaps not run yet.
    std::vector<std::weak_ptr<Handoff>> handedOff;
    std::thread ioThread;
    std::thread deliveryThread;
};

URLLoadingSystem::URLLoadingSystem() : engine_(std::make_unique<Engine>()) {}

URLLoadingSystem::~URLLoadingSystem() = default;

URLLoadingSystem& URLLoadingSystem::shared() {
    return DeviceEnvironment::current().part<URLLoadingSystem>();
}

void URLLoadingSystem::shutDown() {
    engine_->shutDown();
}

void URLLoadingSystem::setDeviceNetworkLazily(std::function<DeviceNetwork()> prepare) {
    std::lock_guard preparing(engine_->preparing);
    engine_->prepare = std::move(prepare);
}

void URLLoadingSystem::prepareDeviceNetwork() const {
    std::lock_guard preparing(engine_->preparing);
    if (!engine_->prepare)
        return;
    auto prepare = std::exchange(engine_->prepare, nullptr);
    {
        // An ended device makes nothing more: what the preparation reaches may be gone.
        std::lock_guard lock(engine_->mutex);
        if (engine_->stopping)
            return;
    }
    engine_->installNetwork(prepare());
}

void URLLoadingSystem::setDeviceNetwork(DeviceNetwork network) {
    std::lock_guard preparing(engine_->preparing);
    engine_->prepare = nullptr;
    engine_->installNetwork(std::move(network));
}

URLLoadingSystem::DeviceNetwork URLLoadingSystem::deviceNetwork() const {
    prepareDeviceNetwork();
    std::lock_guard lock(engine_->mutex);
    return engine_->network;
}

std::uint64_t URLLoadingSystem::start(Load load) {
    prepareDeviceNetwork();
    auto t = std::make_unique<Engine::Transfer>();
    t->load = std::move(load);
    const std::string scheme = lowercaseSchemeOf(t->load.url);
    std::lock_guard lock(engine_->mutex);
    // Once the device has ended nothing starts; the completion goes unrun, with the transfer.
    if (engine_->stopping)
        return 0;
    const std::uint64_t id = engine_->nextId++;
    t->id = id;
    engine_->tally->add();
    engine_->startThreadsLocked();
    // Loads that cannot go out fail without touching the network, still on the background queue.
    long early = 0;
    if (t->load.cancelled)
        early = NSURLErrorCancelled;
    else if (engine_->network.offline)
        early = NSURLErrorNotConnectedToInternet;
    else if (scheme == "http")
        early = NSURLErrorAppTransportSecurityRequiresSecureConnection;
    else if (scheme.empty())
        early = NSURLErrorBadURL;
    else if (scheme != "https")
        early = NSURLErrorUnsupportedURL;
    if (early) {
        auto url = t->load.url;
        engine_->finishLocked(std::move(t), {nullptr, nullptr, NSURLErrorWithCode(early, url)});
        return id;
    }
    t->trust = engine_->trust;
    t->maximumBodyBytes = engine_->network.maximumBodyBytes;
    t->connectToEntries = engine_->network.connectTo;
    engine_->startIOThreadLocked();
    engine_->pending.push_back(std::move(t));
    engine_->work.notify_one();
    if (engine_->multi)
        curl_multi_wakeup(engine_->multi);
    return id;
}

void URLLoadingSystem::cancel(std::uint64_t identifier) {
    std::unique_ptr<Engine::Transfer> unstarted;
    std::lock_guard lock(engine_->mutex);
    if (engine_->stopping)
        return;
    // A load not yet picked up by the I/O thread is cancelled here; a running one there.
    auto it = std::find_if(engine_->pending.begin(), engine_->pending.end(),
                           [&](const auto& t) { return t->id == identifier; });
    if (it != engine_->pending.end()) {
        unstarted = std::move(*it);
        engine_->pending.erase(it);
        auto url = unstarted->load.url;
        engine_->finishLocked(std::move(unstarted),
                              {nullptr, nullptr, NSURLErrorWithCode(NSURLErrorCancelled, url)});
        return;
    }
    // Without an I/O thread no load is running: there is nothing to cancel.
    if (!engine_->ioThread.joinable())
        return;
    engine_->cancels.push_back(identifier);
    engine_->work.notify_one();
    if (engine_->multi)
        curl_multi_wakeup(engine_->multi);
}

void URLLoadingSystem::setHoldsResponses(bool hold) {
    std::lock_guard lock(engine_->mutex);
    engine_->hold = hold;
    if (hold)
        return;
    while (!engine_->held.empty()) {
        engine_->deliveries.push_back(std::move(engine_->held.front()));
        engine_->held.pop_front();
    }
    engine_->deliveryReady.notify_one();
}

bool URLLoadingSystem::holdsResponses() const {
    std::lock_guard lock(engine_->mutex);
    return engine_->hold;
}

std::size_t URLLoadingSystem::loadsInFlight() const {
    Tally& tally = *engine_->tally;
    std::lock_guard lock(tally.mutex);
    return tally.inFlight;
}

bool URLLoadingSystem::waitUntilIdle(double seconds) {
    Tally& tally = *engine_->tally;
    std::unique_lock lock(tally.mutex);
    return tally.idle.wait_for(lock, std::chrono::duration<double>(seconds),
                               [&] { return tally.inFlight == 0; });
}
