#pragma once

// The forms `orbitchat-sim lint` writes its findings in, for one bundle or several: text for a
// person, JSON for a script, and two for continuous integration: GitHub workflow annotations
// (`::warning file=PATH,line=N,title=CODE::MESSAGE`, which the workflow shows on the lines of the
// pull request) and SARIF 2.1.0, which code-scanning services read.
//
//     std::vector<LintedBundle> bundles{{"My.bundle", "My.bundle", std::move(report)}};
//     std::cout << LintReport::sarif(bundles, std::filesystem::current_path());
//
// The CI forms name each file by its path on disk (the bundle's folder and the file within it),
// relative to the current folder when the file is inside it, so that CI tools link a finding to
// the file in the checkout.

#include "sim/tools/BundleLint.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct LintedBundle {
    // The folder the files were read from, and the one they are named by in the report: the same
    // for a folder on disk; for a bundle taken out of a package, the package's path and the
    // bundle's place in it.
    std::string folder;
    std::string shownFolder;
    BundleLintReport report;
};

class LintReport {
public:
    // For one bundle, BundleLint::text. For several, each finding's file is named with its
    // bundle's folder, and the summary line counts over all of them.
    static std::string text(const std::vector<LintedBundle>& bundles);

    // For one bundle, BundleLint::json. For several: {"bundles": [one bundle's object each],
    // "files": N, "errors": N, "warnings": N}.
    static std::string json(const std::vector<LintedBundle>& bundles);

    // One workflow command per finding, each on its own line.
    static std::string github(const std::vector<LintedBundle>& bundles,
                              const std::filesystem::path& currentFolder);

    // One SARIF 2.1.0 log with one run: the tool with a rule for each code found, and a result
    // for each finding (no region when the finding has no line).
    static std::string sarif(const std::vector<LintedBundle>& bundles,
                             const std::filesystem::path& currentFolder);

    // The escaping of workflow commands: a message escapes %, CR and LF; a property value
    // escapes ':' and ',' as well.
    static std::string githubMessage(std::string_view text);
    static std::string githubProperty(std::string_view text);

    // The path of `file` within `folder`, relative to `currentFolder` when it lies inside it
    // (both made absolute by their text, without touching the disk), otherwise absolute.
    static std::string filePath(const std::string& folder, const std::string& file,
                                const std::filesystem::path& currentFolder);

    // What a finding code means, in one short sentence (for SARIF's rules); empty for a code
    // lint does not have.
    static std::string_view describe(std::string_view code);
};
