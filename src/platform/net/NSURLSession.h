#pragma once

// A URL session (NSURLSession) and its data tasks. A task is made suspended, starts on `resume`,
// and runs its completion exactly once, on the networking layer's background queue (never on
// the main thread), unless the session was given a queue for its completions:
//
//     auto session = NSURLSession::sessionWithConfiguration(configuration, nullptr, nullptr);
//     auto task = session->dataTaskWithRequest(request, [](auto data, auto response, auto error) {
//         ...  // background queue: hand what the screen needs to the main queue
//     });
//     task->resume();
//     session->finishTasksAndInvalidate();   // the session goes once its tasks have finished
//
// Ownership: a running task holds its session, and the loading system holds the running task
// until its completion has returned; so a session whose tasks are done and that nobody else holds
// is released, with whatever its completions captured.
//
// The HTTP status is not an error: a 404 with a body completes with the data and the response.

#include "platform/dispatch/Dispatch.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"
#include "platform/net/NSURLSessionConfiguration.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSURLSessionDataTask;

class NSURLSession : public NSObject {
public:
    using CompletionHandler =
        std::function<void(std::shared_ptr<const PlistData> data, std::shared_ptr<NSHTTPURLResponse> response,
                           std::shared_ptr<NSError> error)>;

    // sessionWithConfiguration:delegate:delegateQueue:. The delegate is held until the session is
    // invalidated; with a null queue completions run on the networking layer's background queue.
    static std::shared_ptr<NSURLSession>
    sessionWithConfiguration(const std::shared_ptr<NSURLSessionConfiguration>& configuration,
                             std::shared_ptr<NSObject> delegate, dispatch_queue_t delegateQueue);

    std::string className() const override { return "NSURLSession"; }

    const std::shared_ptr<NSURLSessionConfiguration>& configuration() const { return configuration_; }

    // dataTaskWithRequest:completionHandler:. A suspended task, or null once the session has been
    // invalidated (the platform raises there; here it is logged).
    std::shared_ptr<NSURLSessionDataTask> dataTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
                                                              CompletionHandler completionHandler);

    // Takes no new tasks; the running ones finish, then the session lets go of its delegate.
    void finishTasksAndInvalidate();
    // Takes no new tasks and cancels the running ones.
    void invalidateAndCancel();
    bool isInvalidated() const;

protected:
    NSURLSession(std::shared_ptr<NSURLSessionConfiguration> configuration, std::shared_ptr<NSObject> delegate,
                 dispatch_queue_t queue)
        : configuration_(std::move(configuration)), delegate_(std::move(delegate)), queue_(std::move(queue)) {
    }

private:
    friend class NSURLSessionDataTask;
    void taskFinished();
    // Once invalidated and with no task left running, the session lets go of its delegate.
    void releaseDelegateIfDoneLocked();

    std::shared_ptr<NSURLSessionConfiguration> configuration_;
    mutable std::mutex mutex_;
    std::shared_ptr<NSObject> delegate_;
    dispatch_queue_t queue_;
    bool invalidated_ = false;
    std::vector<std::weak_ptr<NSURLSessionDataTask>> tasks_;
};

enum NSURLSessionTaskState : std::int64_t {
    NSURLSessionTaskStateRunning = 0,
    NSURLSessionTaskStateSuspended = 1,
    NSURLSessionTaskStateCanceling = 2,
    NSURLSessionTaskStateCompleted = 3,
};

class NSURLSessionDataTask : public NSObject {
public:
    std::string className() const override { return "NSURLSessionDataTask"; }

    // Starts the load; later calls do nothing.
    void resume();
    // Ends a running load with NSURLErrorCancelled (a suspended task completes the same way).
    void cancel();
    NSURLSessionTaskState state() const;
    const std::shared_ptr<NSURLRequest>& originalRequest() const { return request_; }

protected:
    NSURLSessionDataTask(std::shared_ptr<NSURLSession> session, std::shared_ptr<NSURLRequest> request,
                         NSURLSession::CompletionHandler completion)
        : session_(std::move(session)), request_(std::move(request)), completion_(std::move(completion)) {}

private:
    friend class NSURLSession;
    void launch(bool cancelled);

    mutable std::mutex mutex_;
    std::shared_ptr<NSURLSession> session_; // until the task has completed
    std::shared_ptr<NSURLRequest> request_;
    NSURLSession::CompletionHandler completion_;
    NSURLSessionTaskState state_ = NSURLSessionTaskStateSuspended;
    std::uint64_t loadIdentifier_ = 0;
};
