#include "platform/net/NSURLSession.h"

#include "platform/foundation/NSLog.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoadingSystem.h"

#include <algorithm>

std::shared_ptr<NSURLSession>
NSURLSession::sessionWithConfiguration(const std::shared_ptr<NSURLSessionConfiguration>& configuration,
                                       std::shared_ptr<NSObject> delegate, dispatch_queue_t delegateQueue) {
    auto copy =
        configuration ? configuration->copy() : NSURLSessionConfiguration::defaultSessionConfiguration();
    return std::shared_ptr<NSURLSession>(
        new NSURLSession(std::move(copy), std::move(delegate), std::move(delegateQueue)));
}

std::shared_ptr<NSURLSessionDataTask>
NSURLSession::dataTaskWithRequest(const std::shared_ptr<NSURLRequest>& request,
                                  CompletionHandler completionHandler) {
    std::lock_guard lock(mutex_);
    if (invalidated_) {
        NSLog("Task created in a session that has been invalidated");
        return nullptr;
    }
    auto self = std::static_pointer_cast<NSURLSession>(shared_from_this());
    auto task = std::shared_ptr<NSURLSessionDataTask>(
        new NSURLSessionDataTask(self, request, std::move(completionHandler)));
    std::erase_if(tasks_, [](const auto& weak) { return weak.expired(); });
    tasks_.push_back(task);
    return task;
}

void NSURLSession::releaseDelegateIfDoneLocked() {
    bool running = std::any_of(tasks_.begin(), tasks_.end(), [](const auto& weak) {
        auto task = weak.lock();
        return task && task->state() != NSURLSessionTaskStateCompleted;
    });
    if (invalidated_ && !running)
        delegate_ = nullptr;
}

void NSURLSession::finishTasksAndInvalidate() {
    std::lock_guard lock(mutex_);
    invalidated_ = true;
    releaseDelegateIfDoneLocked();
}

void NSURLSession::invalidateAndCancel() {
    std::vector<std::shared_ptr<NSURLSessionDataTask>> running;
    {
        std::lock_guard lock(mutex_);
        invalidated_ = true;
        for (const auto& weak : tasks_)
            if (auto task = weak.lock())
                running.push_back(std::move(task));
    }
    for (const auto& task : running)
        task->cancel();
    std::lock_guard lock(mutex_);
    releaseDelegateIfDoneLocked();
}

bool NSURLSession::isInvalidated() const {
    std::lock_guard lock(mutex_);
    return invalidated_;
}

void NSURLSession::taskFinished() {
    std::lock_guard lock(mutex_);
    releaseDelegateIfDoneLocked();
}

void NSURLSessionDataTask::resume() {
    launch(false);
}

void NSURLSessionDataTask::cancel() {
    std::unique_lock lock(mutex_);
    if (state_ == NSURLSessionTaskStateSuspended) {
        // A task cancelled before it started still completes, once, on the background queue.
        lock.unlock();
        launch(true);
        return;
    }
    if (state_ != NSURLSessionTaskStateRunning)
        return;
    state_ = NSURLSessionTaskStateCanceling;
    std::uint64_t id = loadIdentifier_;
    lock.unlock();
    URLLoadingSystem::shared().cancel(id);
}

void NSURLSessionDataTask::launch(bool cancelled) {
    std::unique_lock lock(mutex_);
    if (state_ != NSURLSessionTaskStateSuspended)
        return;
    state_ = cancelled ? NSURLSessionTaskStateCanceling : NSURLSessionTaskStateRunning;
    auto configuration = session_->configuration();
    URLLoadingSystem::Load load;
    load.cancelled = cancelled;
    if (request_ && request_->URL())
        load.url = request_->URL()->absoluteString();
    load.timeoutInterval = configuration->timeoutIntervalForRequest();
    if (request_) {
        load.method = request_->HTTPMethod();
        load.body = request_->HTTPBody();
        load.headers = request_->allHTTPHeaderFields();
        // A request that set a time-out of its own keeps it; the default gives way to the session's.
        if (request_->timeoutInterval() != NSURLRequestDefaultTimeoutInterval)
            load.timeoutInterval = request_->timeoutInterval();
    }
    load.resourceTimeout = configuration->timeoutIntervalForResource();
    load.queue = session_->queue_;
    auto self = std::static_pointer_cast<NSURLSessionDataTask>(shared_from_this());
    // The loading system holds the task (and through it the session) until the completion ran.
    load.complete = [self](URLLoadingSystem::Result result) {
        NSURLSession::CompletionHandler completion;
        std::shared_ptr<NSURLSession> session;
        {
            std::lock_guard lock(self->mutex_);
            self->state_ = NSURLSessionTaskStateCompleted;
            completion = std::move(self->completion_);
            session = std::move(self->session_);
        }
        if (completion)
            completion(std::move(result.data), std::move(result.response), std::move(result.error));
        completion = nullptr;
        if (session)
            session->taskFinished();
    };
    // Started under the task's lock, so a cancel from another thread sees the load's identifier.
    loadIdentifier_ = URLLoadingSystem::shared().start(std::move(load));
}

NSURLSessionTaskState NSURLSessionDataTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}
