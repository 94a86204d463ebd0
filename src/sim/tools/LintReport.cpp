#include "sim/tools/LintReport.h"

#include "sim/SimVersion.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <utility>

namespace {

using Severity = BundleLintFinding::Severity;
using ordered_json = nlohmann::ordered_json;

constexpr std::array<std::pair<std::string_view, std::string_view>, 26> kDescriptions{{
    {"unreadable", "A file the device's readers refuse."},
    {"no-info-plist", "The bundle has no Info.plist, so the device cannot load it."},
    {"bad-info-plist", "Info.plist is not a dictionary, so the device cannot load the bundle."},
    {"info-missing-key", "Info.plist lacks NSPrincipalClass or CFBundleExecutable."},
    {"no-items", "A page without an \"items\" array shows no rows."},
    {"bad-row", "An item that is not a dictionary is left out."},
    {"missing-cell", "A row without a cell type is shown as plain text."},
    {"unknown-cell", "A cell type the framework does not know is shown as plain text."},
    {"custom-cell", "A cell class of the bundle's own code is approximated by a stock cell."},
    {"missing-key", "A value row without a key: its value is neither read nor saved."},
    {"missing-defaults", "A value row without defaults: its value is neither read nor saved."},
    {"bad-defaults", "A defaults name that is no preference file: the row never saves."},
    {"default-type", "A default of the wrong kind for its cell."},
    {"default-not-valid", "A default that is none of the row's validValues."},
    {"valid-length", "validTitles and validValues of different lengths, or not lists."},
    {"missing-values", "A choice row without choices."},
    {"slider-range", "A slider whose min is not below its max."},
    {"missing-page", "A detail that names no page of the bundle."},
    {"unknown-detail", "A detail that only the bundle's code can provide."},
    {"no-detail", "A link row that leads nowhere."},
    {"missing-icon", "An icon that names no image of the bundle."},
    {"bad-height", "A row height that is not a positive number, or above 2000 points."},
    {"missing-string", "A text of a page that a strings table lacks: shown untranslated."},
    {"orphan-strings", "A strings table for a page the bundle does not have."},
    {"too-many-files", "The bundle has more files than lint reads."},
    {"too-many-findings", "More findings than lint reports."},
}};

struct Counts {
    std::size_t files = 0, errors = 0, warnings = 0;
};

Counts countsOf(const std::vector<LintedBundle>& bundles) {
    Counts c;
    for (const auto& bundle : bundles) {
        c.files += bundle.report.filesRead;
        for (const auto& f : bundle.report.findings)
            ++(f.severity == Severity::Error ? c.errors : c.warnings);
    }
    return c;
}

std::string escaped(std::string_view text, bool property) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        case ':':
            out += property ? "%3A" : ":";
            break;
        case ',':
            out += property ? "%2C" : ",";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A path as a URI reference: the characters a path segment may hold stay, every other byte is
// percent-encoded; an absolute path becomes a file URI.
std::string uriOf(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = path.starts_with('/') ? "file://" : "";
    for (char c : path) {
        const auto u = static_cast<unsigned char>(c);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          std::string_view("-._~/!$&'()*+,;=@").find(c) != std::string_view::npos;
        if (keep) {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

} // namespace

std::string_view LintReport::describe(std::string_view code) {
    for (const auto& [name, text] : kDescriptions)
        if (name == code)
            return text;
    return {};
}

std::string LintReport::githubMessage(std::string_view text) {
    return escaped(text, false);
}

std::string LintReport::githubProperty(std::string_view text) {
    return escaped(text, true);
}

std::string LintReport::filePath(const std::string& folder, const std::string& file,
                                 const std::filesystem::path& currentFolder) {
    namespace fs = std::filesystem;
    fs::path base = currentFolder.lexically_normal();
    if (!base.has_filename() && base.has_relative_path()) // "/src/tweak/" is "/src/tweak"
        base = base.parent_path();
    fs::path whole = fs::path(folder) / file;
    if (whole.is_relative())
        whole = base / whole;
    whole = whole.lexically_normal();
    const fs::path relative = whole.lexically_relative(base);
    const bool inside = !relative.empty() && *relative.begin() != "..";
    return (inside ? relative : whole).generic_string();
}

std::string LintReport::text(const std::vector<LintedBundle>& bundles) {
    if (bundles.size() == 1)
        return BundleLint::text(bundles[0].report.findings, bundles[0].report.filesRead);
    std::string out;
    for (const auto& bundle : bundles)
        for (const auto& f : bundle.report.findings)
            out += f.textLine(bundle.shownFolder + "/" + f.file);
    const Counts c = countsOf(bundles);
    return out + BundleLint::summaryLine(c.errors, c.warnings,
                                         BundleLint::counted(c.files, "file") + " of " +
                                             BundleLint::counted(bundles.size(), "bundle"));
}

std::string LintReport::json(const std::vector<LintedBundle>& bundles) {
    if (bundles.size() == 1)
        return BundleLint::json(bundles[0].report.findings, bundles[0].shownFolder,
                                bundles[0].report.filesRead);
    ordered_json list = ordered_json::array();
    for (const auto& bundle : bundles)
        list.push_back(ordered_json::parse(
            BundleLint::json(bundle.report.findings, bundle.shownFolder, bundle.report.filesRead)));
    const Counts c = countsOf(bundles);
    ordered_json report = {
        {"bundles", std::move(list)}, {"files", c.files}, {"errors", c.errors}, {"warnings", c.warnings}};
    return report.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

std::string LintReport::github(const std::vector<LintedBundle>& bundles,
                               const std::filesystem::path& currentFolder) {
    std::string out;
    for (const auto& bundle : bundles) {
        for (const auto& f : bundle.report.findings) {
            out += std::string("::") + f.severityName() +
                   " file=" + githubProperty(filePath(bundle.shownFolder, f.file, currentFolder));
            if (f.line)
                out += ",line=" + std::to_string(f.line);
            out += ",title=" + githubProperty(f.code) + "::" + githubMessage(f.message) + "\n";
        }
    }
    return out;
}

std::string LintReport::sarif(const std::vector<LintedBundle>& bundles,
                              const std::filesystem::path& currentFolder) {
    // Rules in the order their codes first appear; results point at them by index too.
    std::map<std::string, std::size_t, std::less<>> ruleIndex;
    ordered_json rules = ordered_json::array();
    ordered_json results = ordered_json::array();
    for (const auto& bundle : bundles) {
        for (const auto& f : bundle.report.findings) {
            auto [rule, added] = ruleIndex.emplace(f.code, rules.size());
            if (added) {
                std::string_view description = describe(f.code);
                rules.push_back({{"id", f.code},
                                 {"shortDescription",
                                  {{"text", description.empty() ? f.code : std::string(description)}}}});
            }
            ordered_json location = {
                {"artifactLocation", {{"uri", uriOf(filePath(bundle.shownFolder, f.file, currentFolder))}}}};
            if (f.line)
                location["region"] = {{"startLine", f.line}};
            results.push_back({{"ruleId", f.code},
                               {"ruleIndex", rule->second},
                               {"level", f.severityName()},
                               {"message", {{"text", f.message}}},
                               {"locations", ordered_json::array({{{"physicalLocation", location}}})}});
        }
    }
    ordered_json log = {{"version", "2.1.0"},
                        {"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
                        {"runs", ordered_json::array({{{"tool",
                                                        {{"driver",
                                                          {{"name", "orbitchat-sim"},
                                                           {"version", ORBITCHAT_SIM_VERSION},
                                                           {"rules", std::move(rules)}}}}},
                                                       {"results", std::move(results)}}})}};
    return log.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}
