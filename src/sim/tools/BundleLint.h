#pragma once

// `orbitchat-sim lint BUNDLE`: reads every property list and strings table of a preference bundle
// and reports what the device would do differently from what the bundle's author likely meant: a
// file the device cannot read, a row of an unknown cell type (a plain text row on the device), a
// switch whose value is neither read nor saved, a default of the wrong kind, a link to a page the
// bundle does not have, a label missing from a language's strings table, and the like.
//
//     Result<BundleLintReport> report = BundleLint::lint("Orbitchat.bundle");
//     if (!report)
//         std::cerr << report.reason() << "\n";     // the folder itself cannot be read
//     else
//         std::cout << BundleLint::text(report.value().findings, report.value().filesRead);
//
// The bundle is untrusted input. Its files are read through a file manager whose root is the
// bundle folder, so a symbolic link never leads out of it; reads never block on a FIFO and are
// bounded by PlistLimits, as every property-list read is; the number of files read and of findings
// kept is bounded too.
//
// What is checked, with each finding's code:
// - unreadable (error): a property list or strings table the device's readers refuse, with the
//   reader's reason, or that is a link leading out of the bundle (PSBundleFile), which the device
//   does not follow; a language folder that cannot be listed.
// - no-info-plist, bad-info-plist, info-missing-key (errors): Info.plist absent, not a
//   dictionary, or without NSPrincipalClass or CFBundleExecutable.
// - no-items (error): a specifier plist that is not a dictionary with an "items" array (the page
//   stays empty). bad-row (warning): an item that is not a dictionary (left out).
// - missing-cell, unknown-cell (warnings): a row without a cell type, or of a type the framework
//   does not know; either shows as a plain text row. custom-cell (warning): a "cellClass" of the
//   bundle's own code. The simulator has the framework's cell classes and those of the preference
//   libraries (PrefsLibraries), which are not reported (lint asks the same registries the
//   simulator draws from: PSCellClasses, PSControllerClasses); a class of the bundle's own is drawn and
//   run as the stock cell the row's "cell" names (a value row is approximated: drawn and stored as
//   its stock cell), and only a row with neither "cell" nor "label" becomes a placeholder.
// - missing-key, missing-defaults (errors): a value row (switch, slider, segment, text field, link
//   list) that relies on the stock getter or setter but names no "key" or no "defaults".
//   bad-defaults (error): such a row's "defaults" names no file the framework's store would use
//   ("..", "a/b", "/var/mobile/"), as PSPreferencePath decides with its strict rules.
// - default-type (warning): a "default" of the wrong kind for its cell (a switch takes a boolean or
//   a number, a slider a number, a text field a string); default-not-valid (warning): a segment's
//   or list's default that is none of its validValues. Old-style text holds only strings, so there
//   a string that reads as the right kind is taken.
// - valid-length (error): validTitles and validValues (or shortTitles) of different lengths, or
//   not arrays; missing-values (warning): a segment or link list without choices (unless its
//   "detail" is a library's page, an application list, that brings its own).
// - slider-range (warning): a slider whose min is not below its max.
// - missing-page (error): a "detail" that can only name a page, and no plist of that name is in
//   the bundle, or whose plist is a link out of the bundle; unknown-detail (warning): a "detail"
//   that is neither a page nor a controller the simulator has (the framework's, or one of the
//   preference libraries), so code of the bundle must provide it (also behind the framework's
//   PSSetupController and PSViewController): the simulator's tap opens a page that names the
//   class. no-detail (warning): a link row that leads nowhere (a library's cell class takes such a
//   tap itself: a colour cell opens its picker; for one of the bundle's own the simulator's tap
//   opens a page that names it).
// - missing-icon (warning): an "icon" that names no image of the bundle.
// - bad-height (warning): a "height" that is not a positive number (the row keeps its cell's
//   height), or over 2000 points (held to 2000).
// - missing-string (warning): a label, title, footer, static text or choice title of a page that
//   one of the page's strings tables (`de.lproj/Root.strings`) lacks; orphan-strings (warning): a
//   strings table for a page the bundle does not have.
// - too-many-files, too-many-findings (warnings): the bounds were reached; the rest is unchecked.

#include "platform/foundation/Result.h"

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct BundleLintFinding {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Warning;
    std::string code;     // short and stable ("unknown-cell")
    std::string message;  // one line
    std::string file;     // relative to the bundle folder ("Root.plist", "de.lproj/Root.strings")
    std::size_t line = 0; // 1-based; 0 when there is none (a binary list, a whole file)

    // "error" or "warning": the word every form of the report names the severity with.
    const char* severityName() const;
    // The finding as a line of the text report, with its file named `shownFile`:
    // `Root.plist:12: warning: ... [unknown-cell]` and a line end (no ":12" without a line).
    std::string textLine(const std::string& shownFile) const;
};

// What lint found in a bundle, ordered by file and line, and how many files it read.
struct BundleLintReport {
    std::vector<BundleLintFinding> findings;
    std::size_t filesRead = 0;
};

class BundleLint {
public:
    // Whether a class name is code of a preference library the device has.
    using LibraryClassQuery = std::function<bool(std::string_view)>;

    // The report for the bundle folder. Fails only when the folder itself cannot be read (it is
    // missing, not a folder, or cannot be listed); everything else is a finding. Lint asks the
    // registries of a device of its own with the preference libraries installed which classes the
    // simulator has; a caller's `isLibraryClass` takes their place (besides the framework's own
    // classes), for a device with other libraries.
    static Result<BundleLintReport> lint(const std::string& bundleFolder,
                                         const LibraryClassQuery& isLibraryClass = {});

    // One line per finding (`Root.plist:12: warning: ... [unknown-cell]`), then a summary line.
    static std::string text(const std::vector<BundleLintFinding>& findings, std::size_t filesRead);
    // The text report's summary line for the counts, after "in": `no findings in WHERE` or
    // `2 errors and 1 warning in WHERE`, with a line end.
    static std::string summaryLine(std::size_t errors, std::size_t warnings, const std::string& where);
    // A count and its noun, which takes an "s" unless the count is one: "1 file", "0 files".
    static std::string counted(std::size_t n, const std::string& noun);

    // {"bundle": ..., "files": N, "errors": N, "warnings": N, "findings": [{"file", "line" (null
    // when there is none), "severity", "code", "message"}]}, indented, with a final line end.
    static std::string json(const std::vector<BundleLintFinding>& findings, const std::string& bundleFolder,
                            std::size_t filesRead);
};

// The `lint` command: `lint BUNDLE... [--format text|json|github|sarif]`, where argv[0] is "lint".
// Writes the report of every bundle to `out` (LintReport.h) and problems with the command itself
// to `err`. Exit status as linters give it, over all the bundles: 0 without findings, 1 with
// findings, 2 for a bad command line or when any bundle folder cannot be read (the others are
// still reported).
int RunBundleLint(int argc, char** argv, std::ostream& out, std::ostream& err);
