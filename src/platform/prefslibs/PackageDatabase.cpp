#include "platform/prefslibs/PackageDatabase.h"

#include "platform/foundation/StringHelpers.h"

#include <cerrno>
#include <optional>

namespace {

// The blanks around a control field's value; lines are already split at line feeds.
constexpr std::string_view kFieldBlanks = " \t\r";

// A stanza's "Status" is "<want> <flag> <state>"; only the "installed" state is a package on the
// device. A stanza without one (hand-written files) counts as installed.
bool isInstalled(std::string_view status) {
    if (status.empty())
        return true;
    auto space = status.rfind(' ');
    return (space == std::string_view::npos ? status : status.substr(space + 1)) == "installed";
}

class StanzaReader {
public:
    void field(std::string_view name, std::string_view value) {
        if (name == "Package")
            record_.identifier = value;
        else if (name == "Name")
            record_.name = value;
        else if (name == "Version")
            record_.version = value;
        else if (name == "Author")
            record_.author = value;
        else if (name == "Maintainer")
            record_.maintainer = value;
        else if (name == "Icon")
            record_.icon = value;
        else if (name == "Status")
            status_ = value;
    }
    // The stanza's package, when it describes an installed one; the reader starts afresh.
    std::optional<PackageRecord> finish() {
        std::optional<PackageRecord> out;
        if (!record_.identifier.empty() && isInstalled(status_))
            out = std::move(record_);
        record_ = {};
        status_.clear();
        return out;
    }

private:
    PackageRecord record_;
    std::string status_;
};

} // namespace

std::string PackageRecord::authorName() const {
    const std::string& who = author.empty() ? maintainer : author;
    auto address = who.find(" <");
    return std::string(
        trimmedView(address == std::string::npos ? who : who.substr(0, address), kFieldBlanks));
}

PackageDatabase PackageDatabase::parse(std::string_view text) {
    PackageDatabase db;
    StanzaReader stanza;
    auto finish = [&] {
        if (auto record = stanza.finish()) {
            std::string id = record->identifier;
            db.packages_.insert_or_assign(std::move(id), std::move(*record));
        }
    };
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (trimmedView(line, kFieldBlanks).empty()) {
            finish();
            continue;
        }
        // Continuation lines belong to multi-line fields (Description, Conffiles) that are not read.
        if (line.front() == ' ' || line.front() == '\t')
            continue;
        auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            continue;
        stanza.field(trimmedView(line.substr(0, colon), kFieldBlanks),
                     trimmedView(line.substr(colon + 1), kFieldBlanks));
    }
    finish();
    return db;
}

const char* PackageDatabase::statusPathFor(bool hasRootlessFile, bool hasRootfulFile, bool rootlessScheme) {
    if (hasRootlessFile)
        return kRootlessStatusPath;
    if (hasRootfulFile)
        return kStatusPath;
    return rootlessScheme ? kRootlessStatusPath : kStatusPath;
}

Result<PackageDatabase> PackageDatabase::readFromDevice(const NSFileManager& files) {
    const char* path = statusPathFor(files.fileExistsAtPath(kRootlessStatusPath),
                                     files.fileExistsAtPath(kStatusPath), false);
    if (!files.fileExistsAtPath(path))
        return Failure{"no package database", ENOENT};
    std::shared_ptr<NSError> error;
    auto bytes = files.contentsAtPath(path, &error, kLargestStatusFile);
    if (!bytes)
        return Failure{error ? error->localizedDescription() : std::string("unreadable")};
    return parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

const PackageRecord* PackageDatabase::packageWithIdentifier(std::string_view identifier) const {
    auto it = packages_.find(identifier);
    return it == packages_.end() ? nullptr : &it->second;
}
