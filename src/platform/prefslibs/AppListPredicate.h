#pragma once

// Which installed apps a section of an application list shows, read from the predicate text that
// bundles give AppList's section descriptors ("predicate") and AltList's custom sections
// ("sectionPredicate"). The device's libraries hand that text to the platform's predicate
// language; the forms real bundles use are read here:
//
//     isSystemApplication = TRUE                    (also ==, !=, <>; TRUE/FALSE, YES/NO, 1/0)
//     NOT tags CONTAINS 'hidden'                    ('hidden' IN tags reads the same)
//     isWebApplication = FALSE AND NOT (tags CONTAINS 'hidden' OR isLaunchProhibited = TRUE)
//     bundleIdentifier = 'com.apple.MobileSMS'      (also displayIdentifier, identifier;
//                                                    BEGINSWITH, ENDSWITH, CONTAINS, LIKE with
//                                                    * and ?, IN {'a', 'b'}; [c] ignores case)
//     displayName BEGINSWITH[c] 'm'
//     TRUEPREDICATE, FALSEPREDICATE
//
// NOT binds tighter than AND, AND tighter than OR, and parentheses group. Keywords are matched
// regardless of case, as the platform's parser does.
//
//     Result<AppListPredicate> p = AppListPredicate::parse("isSystemApplication = TRUE");
//     if (!p)
//         NSLog(...p.failure().reason...);   // a form this reader does not know: show all apps
//     bool shown = p.value().evaluate(app);
//
// Parsing fails (never throws, never crashes) for text outside these forms, an unknown key, a
// comparison of the wrong kind (a key of yes-or-no against a string), unbalanced parentheses or
// quotes, or nesting deeper than kMaxDepth; the reason names what was not understood.

#include "platform/applist/ALApplicationList.h"
#include "platform/foundation/Result.h"

#include <memory>
#include <string_view>

class AppListPredicate {
public:
    static constexpr int kMaxDepth = 32;
    static constexpr std::size_t kMaxLength = 4096;

    static Result<AppListPredicate> parse(std::string_view text);
    // The predicate that every app satisfies.
    static AppListPredicate all();

    bool evaluate(const ALApplicationList::ApplicationInfo& app) const;

    struct Node;

private:
    explicit AppListPredicate(std::shared_ptr<const Node> root) : root_(std::move(root)) {}
    std::shared_ptr<const Node> root_;
};
