#pragma once

// The engine under NSURLSession: one libcurl multi handle driven by a thread of its own, and a
// second thread, the networking layer's background queue, on which completions run (in the order
// the loads finished). Sessions hand it their tasks; nothing else in the system talks to it,
// except the host, which describes the device's network:
//
//     URLLoadingSystem::DeviceNetwork network;
//     network.trustedCertificatesPEM = {authority.certificatePEM()};   // trusted by this device only
//     network.connectTo = {"repo.orbitchat.example:443:127.0.0.1:40123"};
//     URLLoadingSystem::shared().setDeviceNetwork(network);
//
// What every load gets, whatever the caller asks: https only (a plain http URL fails as App
// Transport Security fails it, and a redirect may only lead to https), the certificate and the
// host name always verified (against the host's trust store plus the device's own certificates),
// a body of at most `maximumBodyBytes` (a larger one fails with NSURLErrorDataLengthExceedsMaximum
// and no data; a compressed body counts decoded), the encodings the platform asks for
// (`kAcceptEncoding`) and no others, and the request's time-out applied to connecting and to every stretch without data.
//
// Holding (`setHoldsResponses`) lets loads run to the end but keeps their completions back until
// released, so a test or a recording can show what the screen looks like while a fetch is in flight.
//
// The engine is a part of the device environment: `shared()` answers the current environment's.
// When the environment ends, shutDown stops every transfer, joins both threads and drops every
// completion not yet run (those held back or handed to a queue included), one by one in the order
// their loads started, on the thread that ends the environment and while the rest of the device
// (views, notification centres) still exists. A dropped completion never runs; whatever it held
// goes then. Nothing starts afterwards.

#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/plist/PlistValue.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class NSError;
class NSHTTPURLResponse;

class URLLoadingSystem : public DeviceEnvironment::Part {
public:
    struct DeviceNetwork {
        // Every load fails at once with NSURLErrorNotConnectedToInternet.
        bool offline = false;
        // PEM certificates the device trusts besides the host's trust store.
        std::vector<std::string> trustedCertificatesPEM;
        // "HOST:PORT:CONNECT-HOST:CONNECT-PORT": loads for HOST:PORT connect there instead; the
        // certificate is still checked against HOST.
        std::vector<std::string> connectTo;
        std::size_t maximumBodyBytes = 8u << 20;
    };

    // What a finished load hands its completion.
    struct Result {
        std::shared_ptr<const PlistData> data; // null on failure
        std::shared_ptr<NSHTTPURLResponse> response;
        std::shared_ptr<NSError> error;
    };

    // What a load asks for: a copy of the request's parts, taken at `resume`.
    struct Load {
        std::string url;
        std::string method = "GET";
        PlistData body;
        std::map<std::string, std::string> headers;
        double timeoutInterval = 60;
        double resourceTimeout = 7 * 24 * 3600;
        // Completes at once with NSURLErrorCancelled (a task cancelled before it started).
        bool cancelled = false;
        // Where and how the completion runs: on the background queue when `queue` is null.
        dispatch_queue_t queue;
        std::function<void(Result)> complete;
    };

    // The Accept-Encoding of every load, as the platform's URL session sends it.
    static constexpr const char* kAcceptEncoding = "br, gzip, deflate";

    // The current device environment's engine.
    static URLLoadingSystem& shared();

    void setDeviceNetwork(DeviceNetwork network);
    DeviceNetwork deviceNetwork() const;
    // Sets the network to what `prepare` answers, asked once, on the thread of the first load (or
    // of the first deviceNetwork call) rather than now, so a device that never loads anything
    // never pays for it. A later setDeviceNetwork replaces it unasked; so does shutDown.
    void setDeviceNetworkLazily(std::function<DeviceNetwork()> prepare);

    // Starts a load; its completion runs exactly once (a cancelled load completes with
    // NSURLErrorCancelled), unless the environment ends first. Answers an identifier for `cancel`;
    // 0, with the completion dropped unrun, once the engine has shut down.
    std::uint64_t start(Load load);
    void cancel(std::uint64_t identifier);

    // Holding keeps finished loads' completions back; releasing delivers them, in order.
    void setHoldsResponses(bool hold);
    bool holdsResponses() const;

    // Loads started and not yet through their completion (held ones included).
    std::size_t loadsInFlight() const;
    // Blocks the caller, in real time, until no load is in flight or `seconds` have passed;
    // answers whether it became idle.
    bool waitUntilIdle(double seconds);

    // Ends the engine as described above; later calls do nothing.
    void shutDown() override;

    ~URLLoadingSystem() override;
    URLLoadingSystem(const URLLoadingSystem&) = delete;
    URLLoadingSystem& operator=(const URLLoadingSystem&) = delete;

private:
    friend class DeviceEnvironment;
    URLLoadingSystem();
    struct Engine;
    void prepareDeviceNetwork() const;
    std::unique_ptr<Engine> engine_;
};
