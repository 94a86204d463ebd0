#pragma once

// A progress object: work measured in units, `completedUnitCount` of `totalUnitCount` done. Work on
// any thread updates it; readers (a progress HUD sampling once per frame on the main thread) read
// `fractionCompleted` at their own pace, so nothing needs key-value observing. A reader that would
// rather be told can install a handler, which runs on the updating thread after each change.
//
//     auto progress = NSProgress::progressWithTotalUnitCount(10);
//     dispatch_async(dispatch_get_global_queue(0, 0), [progress] {
//         for (int i = 0; i < 10; ++i) { work(); progress->setCompletedUnitCount(i + 1); }
//     });
//     hud->setProgressObject(progress);
//
// A child progress covers `pendingUnitCount` units of its parent: the parent's fraction counts the
// child's fraction of those units, and a finished child counts them whole.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class NSProgress : public NSObject {
    struct Private {};

public:
    using Handler = std::function<void(double fractionCompleted)>;

    static std::shared_ptr<NSProgress> progressWithTotalUnitCount(std::int64_t unitCount);
    // A progress object with a total of `unitCount` that counts `pendingUnitCount` units of `parent`.
    static std::shared_ptr<NSProgress> progressWithTotalUnitCount(std::int64_t unitCount,
                                                                  const std::shared_ptr<NSProgress>& parent,
                                                                  std::int64_t pendingUnitCount);

    explicit NSProgress(Private, std::int64_t total) : total_(total) {}

    std::string className() const override { return "NSProgress"; }

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t count);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t count);

    // completed / total plus the children's shares; 0 while the total is 0 or less. Not clamped:
    // more completed than total answers more than 1.
    double fractionCompleted() const;
    // The total or the completed count is negative: how much is left is unknown.
    bool isIndeterminate() const;
    // Completed reached a positive total.
    bool isFinished() const;

    void addChild(const std::shared_ptr<NSProgress>& child, std::int64_t pendingUnitCount);

    // Called after every change of this object's or a child's counts, on the changing thread.
    void setFractionCompletedHandler(Handler handler);

private:
    void changed();

    mutable std::recursive_mutex mutex_;
    std::int64_t total_;
    std::int64_t completed_ = 0;
    struct Child {
        std::shared_ptr<NSProgress> progress;
        std::int64_t pending;
    };
    std::vector<Child> children_;
    std::weak_ptr<NSProgress> parent_;
    Handler handler_;
};
