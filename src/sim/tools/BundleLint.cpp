#include "sim/tools/BundleLint.h"
#include "sim/CommandLine.h"
#include "sim/settings/BundleSource.h"
#include "sim/tools/LintReport.h"

#include "platform/foundation/DeviceEnvironment.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/StringHelpers.h"
#include "platform/foundation/plist/PlistKind.h"
#include "platform/foundation/plist/PlistSourceLines.h"
#include "platform/foundation/plist/PropertyList.h"
#include "platform/foundation/plist/StringsTable.h"
#include "platform/prefs/PSBundleFile.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSCellTypes.h"
#include "platform/prefs/PSControlValue.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSPreferencePath.h"
#include "platform/prefslibs/PrefsLibraries.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

using Severity = BundleLintFinding::Severity;

// Bounds for a hostile bundle: files read (each is bounded by PlistLimits) and findings kept.
constexpr std::size_t kMaximumFiles = 2000;
constexpr std::size_t kMaximumFindings = 5000;
// Longer texts from the bundle are cut in messages.
constexpr std::size_t kMaximumQuoted = 80;

// What the device that lint reports for has as code, asked from the same registries the simulator
// draws and opens rows from (PSCellClasses, PSControllerClasses).
struct DeviceClasses {
    // Whether a "cellClass" is code of the device: a stock cell class or a library's.
    std::function<bool(std::string_view)> cell;
    // Whether a "detail" names a controller the device can open: the framework's or a library's.
    std::function<bool(std::string_view)> controller;

    bool isLibraryCell(std::string_view name) const {
        return !PSControllerClasses::isStockCellClass(name) && cell(name);
    }
    bool isLibraryController(std::string_view name) const {
        return !PSControllerClasses::isStockControllerClass(name) && controller(name);
    }
};

// Strings tables that belong to no page: Info.plist's and the one code reads.
constexpr std::array<std::string_view, 2> kTablesOfNoPage{"InfoPlist", "Localizable"};

// A text of the bundle in a message: quoted, control characters and quotes escaped (a message is
// one line whatever the file holds), and cut when long.
std::string shown(std::string_view s) {
    std::string out = "\"";
    std::size_t used = 0;
    for (char c : s) {
        if (++used > kMaximumQuoted) {
            out += "...";
            break;
        }
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string stringOf(const PlistValue& v) {
    return v.isString() ? v.stringValue() : std::string();
}

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() > suffix.size() && s.ends_with(suffix);
}

// Whether text reads as a number the way the text form of a list writes one ("3", "-0.5").
bool isNumberText(std::string_view s) {
    if (s.starts_with('+'))
        s.remove_prefix(1);
    double d = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

bool isBooleanText(std::string_view s) {
    return s == "YES" || s == "NO" || s == "true" || s == "false" || isNumberText(s);
}

// Equality as NSObject's isEqual: sees it for the values of a list: numbers by value, whatever
// their kind (an integer 1, a real 1.0 and true are equal), everything else by kind and content.
bool sameValue(const PlistValue& a, const PlistValue& b) {
    if (a.isNumber() && b.isNumber())
        return a.doubleValue() == b.doubleValue();
    return a == b;
}

// Whether a name could be an Objective-C class: letters, digits and '_', starting with a capital
// letter or '_' as class names do. A "detail" that cannot be one can only name a page.
bool couldBeClassName(std::string_view s) {
    if (s.empty() || !((s[0] >= 'A' && s[0] <= 'Z') || s[0] == '_'))
        return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

class Linter {
public:
    Linter(std::shared_ptr<NSFileManager> files, DeviceClasses classes)
        : files_(std::move(files)), classes_(std::move(classes)) {}

    // Fails only when the bundle folder itself cannot be listed.
    Result<> run() {
        std::shared_ptr<NSError> error;
        auto names = files_->contentsOfDirectoryAtPath("/", &error);
        if (!names)
            return Failure{error ? error->localizedDescription() : "the folder cannot be listed",
                           error ? static_cast<int>(error->code()) : 0};
        std::vector<std::string> pages, languages;
        for (const std::string& name : *names) {
            filesAtRoot_.insert(name);
            if (name == "Info.plist")
                continue;
            if (endsWith(name, ".plist")) {
                pages.push_back(name);
                pageNames_.insert(name.substr(0, name.size() - 6));
            } else if (endsWith(name, ".lproj")) {
                languages.push_back(name);
            }
        }
        lintInfoPlist();
        for (const std::string& page : pages)
            lintPage(page);
        for (const std::string& language : languages)
            lintLanguage(language);
        std::stable_sort(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
            return a.file != b.file ? a.file < b.file : a.line < b.line;
        });
        return {};
    }

    std::vector<BundleLintFinding> findings;
    std::size_t filesRead = 0;

private:
    // What a page shows that a strings table translates, with the line of its first use.
    using UsedStrings = std::map<std::string, std::size_t, std::less<>>;

    void report(Severity severity, std::string code, const std::string& file, std::size_t line,
                std::string message) {
        if (findings.size() == kMaximumFindings) {
            findings.push_back(
                {Severity::Warning, "too-many-findings",
                 "more than " + std::to_string(kMaximumFindings) + " findings; the rest are not reported",
                 file, line});
            return;
        }
        if (findings.size() > kMaximumFindings)
            return;
        findings.push_back({severity, std::move(code), std::move(message), file, line});
    }

    // Reads a file of the bundle, counting it against the bound. A file that cannot be read is
    // reported as a finding; past the bound, only the first file left unread is.
    Result<std::vector<std::uint8_t>> readFile(const std::string& file) {
        if (filesRead == kMaximumFiles) {
            ++filesRead; // reported once
            report(Severity::Warning, "too-many-files", file, 0,
                   "more than " + std::to_string(kMaximumFiles) +
                       " files; this one and the rest are not read");
        }
        if (filesRead > kMaximumFiles)
            return Failure{"too many files"};
        ++filesRead;
        // As the device reads its pages: a link out of the bundle is not followed.
        if (auto target = PSBundleFile::linkOutOfBundle(*files_, "/", "/" + file)) {
            Failure failure{PSBundleFile::linkOutReason(file, *target) + ": the device does not follow it"};
            report(Severity::Error, "unreadable", file, 0, failure.reason);
            return failure;
        }
        std::shared_ptr<NSError> error;
        auto bytes = files_->contentsAtPath("/" + file, &error, limits_.maxBytes);
        if (!bytes) {
            Failure failure{error ? error->localizedDescription() : "the file cannot be read",
                            error ? static_cast<int>(error->code()) : 0};
            report(Severity::Error, "unreadable", file, 0, failure.reason);
            return failure;
        }
        return std::move(*bytes);
    }

    void lintInfoPlist() {
        const std::string file = "Info.plist";
        if (!filesAtRoot_.contains(file)) {
            report(Severity::Error, "no-info-plist", file, 0,
                   "the bundle has no Info.plist: the device cannot load it");
            return;
        }
        auto bytes = readFile(file);
        if (!bytes)
            return;
        PlistSourceLines lines;
        PlistReadResult info = readPropertyList(bytes.value(), limits_, PlistReadOptions{&lines, false});
        if (!info.ok()) {
            report(Severity::Error, "unreadable", file, 0, info.error->localizedDescription());
            return;
        }
        if (!info.value.isDictionary()) {
            report(Severity::Error, "bad-info-plist", file, lines.lineOf(info.value),
                   "Info.plist is not a dictionary: the device cannot load the bundle");
            return;
        }
        const std::size_t line = lines.lineOf(info.value);
        if (std::string region = stringOf(info.value.get("CFBundleDevelopmentRegion")); !region.empty())
            developmentRegion_ = region;
        if (stringOf(info.value.get("NSPrincipalClass")).empty())
            report(Severity::Error, "info-missing-key", file, line,
                   "no NSPrincipalClass: the device does not know which controller opens the bundle");
        if (stringOf(info.value.get("CFBundleExecutable")).empty())
            report(Severity::Error, "info-missing-key", file, line,
                   "no CFBundleExecutable: the device finds no code to load for the bundle");
    }

    void lintPage(const std::string& file) {
        auto bytes = readFile(file);
        if (!bytes)
            return;
        PlistSourceLines lines;
        PlistReadResult page = readPropertyList(bytes.value(), limits_, PlistReadOptions{&lines, false});
        if (!page.ok()) {
            report(Severity::Error, "unreadable", file, 0, page.error->localizedDescription());
            return;
        }
        const bool textForm = page.format == PlistFormat::OpenStep;
        PlistValue items = page.value.get("items");
        if (!items.isArray()) {
            report(Severity::Error, "no-items", file, lines.lineOf(page.value),
                   page.value.isDictionary()
                       ? "no \"items\" array: the page shows no rows"
                       : "not a dictionary with an \"items\" array: the page shows no rows");
            return;
        }
        UsedStrings& used = usedStrings_[file.substr(0, file.size() - 6)];
        useString(used, page.value.get("title"), lines.lineOf(page.value));
        const auto rows = items.arrayValue();
        for (std::size_t i = 0; i < rows->size(); ++i) {
            const PlistValue& row = (*rows)[i];
            if (!row.isDictionary()) {
                report(Severity::Warning, "bad-row", file, lines.lineOf(items),
                       "item " + std::to_string(i + 1) + " is not a dictionary: the device leaves it out");
                continue;
            }
            lintRow(file, row, lines.lineOf(row), i, textForm, used);
        }
    }

    static void useString(UsedStrings& used, const PlistValue& v, std::size_t line) {
        if (v.isString() && !v.stringValue().empty())
            used.emplace(v.stringValue(), line); // the first use is kept
    }

    void lintRow(const std::string& file, const PlistValue& row, std::size_t line, std::size_t index,
                 bool textForm, UsedStrings& used) {
        const std::string label = stringOf(row.get("label"));
        const std::string name = !label.empty()                      ? shown(label)
                                 : !stringOf(row.get("key")).empty() ? shown(stringOf(row.get("key")))
                                                                     : "item " + std::to_string(index + 1);
        useString(used, row.get("label"), line);
        useString(used, row.get("footerText"), line);
        useString(used, row.get("staticTextMessage"), line);
        for (const char* list : {"validTitles", "shortTitles"})
            if (auto titles = row.get(list).arrayValue())
                for (const PlistValue& title : *titles)
                    useString(used, title, line);

        const PlistValue cell = row.get("cell");
        const PSCellTypeInfo* known = cell.isString() ? PSCellTypes::named(cell.stringValue()) : nullptr;
        if (!cell.isString() || cell.stringValue().empty())
            report(Severity::Warning, "missing-cell", file, line,
                   "row " + name + " has no \"cell\" (shown as a plain text row)");
        else if (!known)
            report(Severity::Warning, "unknown-cell", file, line,
                   "unknown cell type " + shown(cell.stringValue()) + " (shown as a plain text row)");
        const PSCellTypeInfo& info = known ? *known : PSCellTypes::of(PSStaticTextCell);
        lintCellClass(file, row, line, info, name);
        if (info.value != PSValueKind::None)
            lintStoredValue(file, row, line, info, name);
        lintChoices(file, row, line, info, name);
        lintDefault(file, row, line, info, textForm, name);
        if (info.control == PSCellControl::Slider)
            lintSliderRange(file, row, line, textForm, name);
        lintDetail(file, row, line, info, name);
        if (PlistValue height = row.get("height")) {
            // Read as the list reads it: a number, or text that starts with one.
            auto points = PSControlValue::doubleFromValue(height);
            if (!points || !(*points > 0))
                report(Severity::Warning, "bad-height", file, line,
                       "row " + name +
                           " has a \"height\" that is not a positive number: the row keeps its "
                           "cell's own height");
            else if (*points > 2000)
                report(Severity::Warning, "bad-height", file, line,
                       "row " + name + " is " + PSControlValue::numberText(*points) +
                           " points high: rows are held to 2000");
        }
        if (PlistValue icon = row.get("icon"); icon.isString() && !hasImage(icon.stringValue()))
            report(Severity::Warning, "missing-icon", file, line,
                   "row " + name + " has the icon " + shown(icon.stringValue()) +
                       ", which is no image of the bundle");
    }

    // A value row that relies on the stock getter or setter needs "key" and "defaults": they name
    // the preference the value is read from and saved to.
    void lintStoredValue(const std::string& file, const PlistValue& row, std::size_t line,
                         const PSCellTypeInfo& type, const std::string& name) {
        const bool ownGet = !stringOf(row.get("get")).empty();
        const bool ownSet = !stringOf(row.get("set")).empty();
        if (ownGet && ownSet)
            return;
        const std::string without = !ownGet && !ownSet ? "no \"get\" or \"set\" of its own"
                                    : !ownGet          ? "no \"get\" of its own"
                                                       : "no \"set\" of its own";
        const std::string what = std::string(type.rowKind) + " row " + name;
        if (stringOf(row.get("key")).empty())
            report(Severity::Error, "missing-key", file, line,
                   what + " has no \"key\" and " + without + ": its value is neither read nor saved");
        // The file is the one the framework's store would use: the list controller's resolver
        // decides, with its strict rules.
        const std::string defaults = stringOf(row.get("defaults"));
        Result<std::string> path = PSPreferencePath::resolve(defaults, PSPreferencePathRules::Strict);
        if (defaults.empty())
            report(Severity::Error, "missing-defaults", file, line,
                   what + " has no \"defaults\" and " + without +
                       ": there is no preference file for its value");
        else if (!path)
            report(Severity::Error, "bad-defaults", file, line,
                   what + ": the \"defaults\" " + shown(defaults) +
                       " is not allowed as the name of a preference file (" + path.reason() + "), and with " +
                       without + " its value is neither read nor saved");
    }

    void lintChoices(const std::string& file, const PlistValue& row, std::size_t line,
                     const PSCellTypeInfo& type, const std::string& name) {
        const PlistValue titles = row.get("validTitles"), values = row.get("validValues"),
                         shortTitles = row.get("shortTitles");
        for (const auto& [key, v] : {std::pair{"validTitles", titles}, std::pair{"validValues", values},
                                     std::pair{"shortTitles", shortTitles}})
            if (v && !v.isArray())
                report(Severity::Error, "valid-length", file, line,
                       "row " + name + ": \"" + key + "\" is not an array, so the row has no choices");
        if (titles.isArray() && values.isArray() && titles.count() != values.count())
            report(Severity::Error, "valid-length", file, line,
                   "row " + name + " has " + std::to_string(titles.count()) + " validTitles and " +
                       std::to_string(values.count()) + " validValues: choices and values do not pair up");
        if (shortTitles.isArray() && values.isArray() && shortTitles.count() != values.count())
            report(Severity::Error, "valid-length", file, line,
                   "row " + name + " has " + std::to_string(shortTitles.count()) + " shortTitles and " +
                       std::to_string(values.count()) + " validValues: choices and titles do not pair up");
        // A library's choice page (an application list) brings its own choices.
        const std::string detail = stringOf(row.get("detail"));
        if (type.value == PSValueKind::Choice && !values && !titles && !row.get("valuesDataSource") &&
            !row.get("titlesDataSource") && !classes_.isLibraryController(detail))
            report(Severity::Warning, "missing-values", file, line,
                   std::string(type.rowKind) + " row " + name +
                       " has no validValues or validTitles: it offers no choices");
    }

    void lintDefault(const std::string& file, const PlistValue& row, std::size_t line,
                     const PSCellTypeInfo& type, bool textForm, const std::string& name) {
        const PlistValue value = row.get("default");
        if (!value || type.value == PSValueKind::None)
            return;
        const std::string text = stringOf(value);
        const std::string what = std::string(type.rowKind) + " row " + name;
        bool fits = true;
        std::string wanted;
        switch (type.value) {
        case PSValueKind::Boolean:
            fits = value.isNumber() || (textForm && value.isString() && isBooleanText(text));
            wanted = "a boolean or a number";
            break;
        case PSValueKind::Number:
            fits =
                value.isInteger() || value.isReal() || (textForm && value.isString() && isNumberText(text));
            wanted = "a number";
            break;
        case PSValueKind::Text:
            fits = value.isString();
            wanted = "a string";
            break;
        case PSValueKind::Choice: {
            auto values = row.get("validValues").arrayValue();
            if (!values)
                return;
            const bool listed = std::any_of(values->begin(), values->end(),
                                            [&](const PlistValue& v) { return sameValue(v, value); });
            if (!listed)
                report(Severity::Warning, "default-not-valid", file, line,
                       what + " has the default " + shown(value.description()) +
                           ", which is none of its validValues: no choice is shown as selected");
            return;
        }
        case PSValueKind::None:
            return;
        }
        if (!fits)
            report(Severity::Warning, "default-type", file, line,
                   what + " has a default of the wrong kind (" + plistKindName(value) + " " +
                       shown(value.description()) + "); it takes " + wanted);
    }

    void lintSliderRange(const std::string& file, const PlistValue& row, std::size_t line, bool textForm,
                         const std::string& name) {
        auto number = [textForm](const PlistValue& v) -> std::optional<double> {
            if (v.isInteger() || v.isReal())
                return v.doubleValue();
            if (textForm && v.isString() && isNumberText(v.stringValue())) {
                std::string_view s = v.stringValue();
                if (s.starts_with('+'))
                    s.remove_prefix(1);
                double d = 0;
                std::from_chars(s.data(), s.data() + s.size(), d);
                return d;
            }
            return std::nullopt;
        };
        auto min = number(row.get("min")), max = number(row.get("max"));
        if (min && max && !(*min < *max))
            report(Severity::Warning, "slider-range", file, line,
                   "slider row " + name + " has a min that is not below its max: the slider cannot move");
    }

    // A cell class the device has (the framework's, or a library's) draws the row; one of the
    // bundle's own is stood in for by the stock cell of the row's type, unless the row has nothing
    // stock to draw, which the list then shows as a placeholder.
    void lintCellClass(const std::string& file, const PlistValue& row, std::size_t line,
                       const PSCellTypeInfo& type, const std::string& name) {
        const PlistValue cellClass = row.get("cellClass");
        if (!cellClass)
            return;
        const std::string className = stringOf(cellClass);
        if (!className.empty() && classes_.cell(className))
            return;
        const std::string own = "row " + name + " is drawn by its own cell class " + shown(className) +
                                ", code the simulator does not have";
        if (!row.get("cell").isString() && stringOf(row.get("label")).empty()) {
            report(Severity::Warning, "custom-cell", file, line,
                   own + " and with neither \"cell\" nor \"label\" nothing stock can stand in: it draws "
                         "a placeholder");
            return;
        }
        const std::string stock(type.name);
        if (type.value != PSValueKind::None) {
            report(Severity::Warning, "custom-cell", file, line,
                   own + ": the row is approximated, drawn and stored as its stock " + stock);
            return;
        }
        report(Severity::Warning, "custom-cell", file, line,
               own + ": it is drawn as its stock " + stock +
                   (tapShowsMissingClass(row, type) ? ", and a tap opens a page that names the class"
                                                    : std::string()));
    }

    // Whether the row's "cellClass" is code of the bundle's own that the simulator draws as the
    // stock cell in its place (PSListController marks such a row approximated).
    bool isApproximatedClass(const PlistValue& row) const {
        const PlistValue cellClass = row.get("cellClass");
        if (!cellClass)
            return false;
        const std::string className = stringOf(cellClass);
        return !className.empty() && !classes_.cell(className) &&
               (row.get("cell").isString() || !stringOf(row.get("label")).empty());
    }

    // Whether the simulator's tap on a row of the bundle's own cell class opens the page that names
    // the class, as PSListController::tapSpecifier decides: a link row with nothing to open or run,
    // or a button or title row without an action.
    static bool tapShowsMissingClass(const PlistValue& row, const PSCellTypeInfo& type) {
        if (type.control == PSCellControl::Link)
            return stringOf(row.get("detail")).empty() && stringOf(row.get("bundle")).empty() &&
                   !row.get("action");
        return !row.get("action") &&
               (type.control == PSCellControl::Button || type.control == PSCellControl::Title);
    }

    void lintDetail(const std::string& file, const PlistValue& row, std::size_t line,
                    const PSCellTypeInfo& type, const std::string& name) {
        const PlistValue detail = row.get("detail");
        if (!detail) {
            // A library's cell class takes the tap itself (a colour cell opens its picker).
            const std::string cellClass = stringOf(row.get("cellClass"));
            if (type.control != PSCellControl::Link || row.get("action") || row.get("bundle") ||
                classes_.isLibraryCell(cellClass))
                return;
            const std::string nowhere = "link row " + name + " has no \"detail\", \"action\" or \"bundle\"";
            if (isApproximatedClass(row))
                report(Severity::Warning, "no-detail", file, line,
                       nowhere + ": its own cell class " + shown(cellClass) +
                           " would take the tap, code the simulator does not have, so the tap opens a page "
                           "that names " +
                           shown(cellClass));
            else
                report(Severity::Warning, "no-detail", file, line, nowhere + ": tapping it does nothing");
            return;
        }
        const std::string target = stringOf(detail);
        if (!target.empty() && pageNames_.contains(target)) {
            if (auto link = PSBundleFile::linkOutOfBundle(*files_, "/", "/" + target + ".plist"))
                report(Severity::Error, "missing-page", file, line,
                       "row " + name + " opens " + shown(target) + ", but " +
                           PSBundleFile::linkOutReason(target + ".plist", *link) +
                           ": the page shows no rows");
            return;
        }
        if (!target.empty() && classes_.controller(target))
            return;
        if (PSControllerClasses::isFrameworkShellClass(target)) {
            report(Severity::Warning, "unknown-detail", file, line,
                   "row " + name + " opens " + shown(target) +
                       ", a controller of the framework whose page is made by the bundle's own code, which "
                       "the simulator does not have: the tap opens a page that names " +
                       shown(target));
            return;
        }
        if (target.empty()) {
            report(Severity::Error, "missing-page", file, line,
                   "row " + name + " has a \"detail\" that is not a name: it opens nothing");
            return;
        }
        if (endsWith(target, ".plist")) {
            const std::string stem = target.substr(0, target.size() - 6);
            report(Severity::Error, "missing-page", file, line,
                   "row " + name + " opens " + shown(target) +
                       (pageNames_.contains(stem)
                            ? ", but pages are named without \".plist\": use " + shown(stem)
                            : ", which is no page of the bundle"));
            return;
        }
        for (const std::string& page : pageNames_) {
            if (lowercased(page) == lowercased(target)) {
                report(Severity::Error, "missing-page", file, line,
                       "row " + name + " opens " + shown(target) +
                           ", which is no page of the bundle (there is " + shown(page + ".plist") +
                           "; the device's names are case-sensitive)");
                return;
            }
        }
        if (!couldBeClassName(target)) {
            report(Severity::Error, "missing-page", file, line,
                   "row " + name + " opens " + shown(target) + ", which is no page of the bundle (no " +
                       shown(target + ".plist") + ")");
            return;
        }
        report(Severity::Warning, "unknown-detail", file, line,
               "row " + name + " opens " + shown(target) +
                   ", which is no page of the bundle and no controller the simulator has: on the device it "
                   "must be a class of the bundle's code; in the simulator the tap opens a page that names " +
                   shown(target));
    }

    // Images are found by name with or without ".png" and at each scale.
    bool hasImage(const std::string& icon) const {
        for (const char* suffix : {"", ".png", "@2x.png", "@3x.png"})
            if (filesAtRoot_.contains(icon + suffix))
                return true;
        return false;
    }

    void lintLanguage(const std::string& folder) {
        std::shared_ptr<NSError> error;
        auto names = files_->contentsOfDirectoryAtPath("/" + folder, &error);
        if (!names) {
            bool isFolder = false;
            if (files_->fileExistsAtPath("/" + folder, &isFolder) && !isFolder)
                return; // a file named like a language folder is not one
            report(Severity::Error, "unreadable", folder, 0,
                   error ? error->localizedDescription() : "the folder cannot be listed");
            return;
        }
        for (const std::string& name : *names) {
            if (!endsWith(name, ".strings"))
                continue;
            const std::string file = folder + "/" + name;
            const std::string page = name.substr(0, name.size() - 8);
            auto bytes = readFile(file);
            if (!bytes)
                continue;
            StringsTableReadResult table = readStringsTable(bytes.value(), limits_);
            if (!table.ok()) {
                report(Severity::Error, "unreadable", file, 0, table.error->localizedDescription());
                continue;
            }
            if (std::find(kTablesOfNoPage.begin(), kTablesOfNoPage.end(), page) != kTablesOfNoPage.end())
                continue;
            if (!pageNames_.contains(page)) {
                report(Severity::Warning, "orphan-strings", file, 0,
                       "a strings table for " + shown(page + ".plist") + ", which the bundle does not have");
                continue;
            }
            auto used = usedStrings_.find(page);
            if (used == usedStrings_.end())
                continue; // the page could not be read; that is reported already
            // The plists are written in the development region's language: its table needs only
            // the texts it changes, and a text it lacks is shown as written.
            if (isDevelopmentLanguage(folder.substr(0, folder.size() - 6)))
                continue;
            // Reported in the order the page uses them.
            std::vector<std::pair<std::size_t, std::string_view>> missing;
            for (const auto& [text, useLine] : used->second)
                if (!table.strings.contains(text))
                    missing.emplace_back(useLine, text);
            std::sort(missing.begin(), missing.end());
            for (const auto& [useLine, text] : missing) {
                std::string where = page + ".plist" + (useLine ? ":" + std::to_string(useLine) : "");
                report(Severity::Warning, "missing-string", file, 0,
                       shown(text) + " (" + where +
                           ") is not in this table: the device shows it untranslated");
            }
        }
    }

    bool isDevelopmentLanguage(const std::string& language) const {
        std::string base = language.substr(0, language.find_first_of("-_"));
        std::string region = developmentRegion_.substr(0, developmentRegion_.find_first_of("-_"));
        return base == region || (region == "en" && base == "English") || language == "Base";
    }

    std::shared_ptr<NSFileManager> files_;
    DeviceClasses classes_;
    PlistLimits limits_;
    std::string developmentRegion_ = "en";
    std::set<std::string, std::less<>> filesAtRoot_;
    std::set<std::string, std::less<>> pageNames_;
    std::map<std::string, UsedStrings, std::less<>> usedStrings_;
};

std::size_t countOf(const std::vector<BundleLintFinding>& findings, Severity s) {
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(), [s](const auto& f) { return f.severity == s; }));
}

} // namespace

Result<BundleLintReport> BundleLint::lint(const std::string& bundleFolder,
                                          const LibraryClassQuery& isLibraryClass) {
    std::error_code ec;
    if (!std::filesystem::is_directory(bundleFolder, ec)) {
        const bool exists = std::filesystem::exists(bundleFolder, ec);
        return Failure{exists ? "not a folder" : "no such folder", exists ? ENOTDIR : ENOENT};
    }
    // Without a query of the caller's, lint asks the registries of a device of its own that has
    // the preference libraries, as every simulated device has: the very tables the simulator
    // draws and opens rows from.
    DeviceEnvironment::Scope device;
    DeviceClasses classes;
    if (isLibraryClass) {
        classes.cell = [isLibraryClass](std::string_view name) {
            return PSControllerClasses::isStockCellClass(name) || isLibraryClass(name);
        };
        classes.controller = [isLibraryClass](std::string_view name) {
            return PSControllerClasses::isStockControllerClass(name) || isLibraryClass(name);
        };
    } else {
        PrefsLibraries::install();
        classes.cell = [](std::string_view name) { return PSCellClasses::isKnown(name); };
        classes.controller = [](std::string_view name) { return PSControllerClasses::hasClass(name); };
    }
    Linter linter(NSFileManager::create(bundleFolder), std::move(classes));
    if (Result<> listed = linter.run(); !listed)
        return listed.failure();
    return BundleLintReport{std::move(linter.findings), linter.filesRead};
}

const char* BundleLintFinding::severityName() const {
    return severity == Severity::Error ? "error" : "warning";
}

std::string BundleLintFinding::textLine(const std::string& shownFile) const {
    std::string out = shownFile;
    if (line)
        out += ":" + std::to_string(line);
    return out + ": " + severityName() + ": " + message + " [" + code + "]\n";
}

std::string BundleLint::counted(std::size_t n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string BundleLint::summaryLine(std::size_t errors, std::size_t warnings, const std::string& where) {
    if (errors + warnings == 0)
        return "no findings in " + where + "\n";
    return counted(errors, "error") + " and " + counted(warnings, "warning") + " in " + where + "\n";
}

std::string BundleLint::text(const std::vector<BundleLintFinding>& findings, std::size_t filesRead) {
    std::string out;
    for (const auto& f : findings)
        out += f.textLine(f.file);
    return out + summaryLine(countOf(findings, Severity::Error), countOf(findings, Severity::Warning),
                             counted(filesRead, "file"));
}

std::string BundleLint::json(const std::vector<BundleLintFinding>& findings, const std::string& bundleFolder,
                             std::size_t filesRead) {
    using json = nlohmann::ordered_json;
    json list = json::array();
    for (const auto& f : findings)
        list.push_back({{"file", f.file},
                        {"line", f.line ? json(f.line) : json(nullptr)},
                        {"severity", f.severityName()},
                        {"code", f.code},
                        {"message", f.message}});
    json report = {{"bundle", bundleFolder},
                   {"files", filesRead},
                   {"errors", countOf(findings, Severity::Error)},
                   {"warnings", countOf(findings, Severity::Warning)},
                   {"findings", std::move(list)}};
    // Texts of the bundle need not be UTF-8; what is not comes out as U+FFFD.
    return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

int RunBundleLint(int argc, char** argv, std::ostream& out, std::ostream& err) {
    LintArguments arguments;
    if (auto status = readLintArguments(argc, argv, arguments, out, err))
        return *status;
    // Every bundle is checked and reported even when one cannot be read; the status is the worst.
    std::vector<LintedBundle> linted;
    std::vector<std::unique_ptr<BundleSource::TemporaryFolder>> extracted;
    bool unreadable = false;
    auto cannot = [&](const std::string& input, const std::string& why) {
        err << "orbitchat-sim lint: cannot read " << input << ": " << why << "\n";
        unreadable = true;
    };
    auto lintBundle = [&](const std::string& folder, const std::string& shownFolder) {
        Result<BundleLintReport> report = BundleLint::lint(folder);
        if (!report)
            return cannot(shownFolder, report.reason());
        linted.push_back({folder, shownFolder, std::move(report).value()});
    };
    // A project's or package's bundles: the one asked for, or every one.
    auto lintAll = [&](const std::string& input, std::vector<BundleSource::Bundle> bundles,
                       const std::string& extractedTo) {
        if (!arguments.bundleName.empty() || bundles.empty()) {
            auto picked = BundleSource::pick(bundles, arguments.bundleName, input);
            if (!picked)
                return cannot(input, picked.reason());
            bundles = {picked.value()};
        }
        for (const auto& bundle : bundles) {
            // A package's files are named by their place in the package, the folder they were
            // read from being gone when the command ends.
            const std::string shown = extractedTo.empty() ? bundle.folder
                                                          : input + "/" +
                                                                std::filesystem::path(bundle.folder)
                                                                    .lexically_relative(extractedTo)
                                                                    .generic_string();
            lintBundle(bundle.folder, shown);
        }
    };
    for (const std::string& input : arguments.bundles) {
        if (BundleSource::isPackage(input)) {
            auto folder = BundleSource::TemporaryFolder::create();
            if (!folder) {
                cannot(input, folder.reason());
                continue;
            }
            const std::string root = folder.value()->path();
            extracted.push_back(std::move(folder).value());
            auto installed = BundleSource::installPackage(input, root);
            if (!installed) {
                cannot(input, installed.reason());
                continue;
            }
            lintAll(input, BundleSource::deviceBundles(root), root);
        } else if (BundleSource::isProject(input)) {
            lintAll(input, BundleSource::projectBundles(input), "");
        } else {
            lintBundle(input, input);
        }
    }
    if (linted.empty())
        return 2;
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    if (arguments.format == "json")
        out << LintReport::json(linted);
    else if (arguments.format == "github")
        out << LintReport::github(linted, here);
    else if (arguments.format == "sarif")
        out << LintReport::sarif(linted, here);
    else
        out << LintReport::text(linted);
    if (unreadable)
        return 2;
    const bool anyFindings =
        std::any_of(linted.begin(), linted.end(), [](const auto& b) { return !b.report.findings.empty(); });
    return anyFindings ? 1 : 0;
}
