#include "platform/foundation/DeviceEnvironment.h"
#include "platform/prefs/PSCellClass.h"
#include "platform/prefs/PSControllerClasses.h"
#include "platform/prefs/PSTableCellViews.h"

#include <map>
#include <mutex>
#include <vector>

namespace {

// The cell classes and list conventions the current device environment's device has.
struct CellClasses : DeviceEnvironment::Part {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const PSCellClass>, std::less<>> table;
    std::vector<PSCellClasses::ListConvention> conventions;
};

CellClasses& cellClasses() {
    return DeviceEnvironment::current().part<CellClasses>();
}

} // namespace

std::shared_ptr<UITableViewCell> PSCellClass::cellForSpecifier(PSListController& list,
                                                               const std::shared_ptr<PSSpecifier>& row,
                                                               const PlistValue& value) const {
    return PSTableCellViews::stockCell(list, row, value);
}

void PSCellClasses::registerClass(std::string name, std::shared_ptr<const PSCellClass> cls) {
    CellClasses& device = cellClasses();
    std::lock_guard lock(device.mutex);
    device.table[std::move(name)] = std::move(cls);
}

std::shared_ptr<const PSCellClass> PSCellClasses::named(std::string_view name) {
    CellClasses& device = cellClasses();
    std::lock_guard lock(device.mutex);
    auto it = device.table.find(name);
    return it == device.table.end() ? nullptr : it->second;
}

bool PSCellClasses::isKnown(std::string_view name) {
    return PSControllerClasses::isStockCellClass(name) || named(name) != nullptr;
}

std::vector<std::string> PSCellClasses::registeredNames() {
    CellClasses& device = cellClasses();
    std::lock_guard lock(device.mutex);
    std::vector<std::string> names;
    for (const auto& [name, cls] : device.table)
        names.push_back(name);
    return names;
}

void PSCellClasses::addListConvention(ListConvention convention) {
    CellClasses& device = cellClasses();
    std::lock_guard lock(device.mutex);
    device.conventions.push_back(std::move(convention));
}

void PSCellClasses::applyListConventions(PSSpecifierList& rows, PSListController& list) {
    std::vector<ListConvention> conventions;
    {
        CellClasses& device = cellClasses();
        std::lock_guard lock(device.mutex);
        conventions = device.conventions;
    }
    for (const auto& convention : conventions)
        convention(rows, list);
}
