#include "platform/prefs/PSListItemsController.h"

#include "platform/prefs/PSControlValue.h"
#include "platform/ui/UITableViewCell.h"

std::shared_ptr<PSListItemsController> PSListItemsController::create() {
    return std::shared_ptr<PSListItemsController>(new PSListItemsController());
}

std::shared_ptr<const PSSpecifierList> PSListItemsController::specifiers() {
    if (_specifiers)
        return _specifiers;
    auto list = std::make_shared<PSSpecifierList>();
    auto self = shared_from_this();
    auto group = PSSpecifier::preferenceSpecifierNamed("", self, {}, {}, {}, PSGroupCell, {});
    if (const auto& row = specifier()) {
        if (PlistValue message = row->propertyForKey("staticTextMessage"); message.isString())
            group->setProperty(message, "footerText");
    }
    list->push_back(group);
    if (const auto& row = specifier()) {
        auto titles = PSControlValue::choiceTitles(*row);
        for (std::size_t i = 0; i < titles.size(); ++i) {
            auto item =
                PSSpecifier::preferenceSpecifierNamed(titles[i], self, {}, {}, {}, PSListItemCell, {});
            item->setProperty(PlistValue(static_cast<std::int64_t>(i)), "choiceIndex");
            list->push_back(std::move(item));
        }
    }
    _specifiers = std::move(list);
    return _specifiers;
}

std::optional<std::size_t> PSListItemsController::currentChoice() {
    auto parent = parentList();
    const auto& row = specifier();
    if (!parent || !row)
        return std::nullopt;
    return PSControlValue::choiceIndex(*row, parent->valueForSpecifier(row));
}

std::shared_ptr<UITableViewCell>
PSListItemsController::cellForRowAtIndexPath(const std::shared_ptr<UITableView>& tableView,
                                             NSIndexPath indexPath) {
    auto cell = PSListController::cellForRowAtIndexPath(tableView, indexPath);
    auto item = specifierAtIndexPath(indexPath);
    if (cell && item) {
        auto current = currentChoice();
        PlistValue index = item->propertyForKey("choiceIndex");
        bool chosen =
            current && index.isInteger() && static_cast<std::size_t>(index.integerValue()) == *current;
        cell->setAccessoryType(chosen ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
    }
    return cell;
}

void PSListItemsController::tapSpecifier(const std::shared_ptr<PSSpecifier>& item) {
    auto parent = parentList();
    const auto& row = specifier();
    PlistValue index = item ? item->propertyForKey("choiceIndex") : PlistValue();
    if (!parent || !row || !index.isInteger() || index.integerValue() < 0)
        return;
    PlistValue value = PSControlValue::fromChoice(*row, static_cast<std::size_t>(index.integerValue()));
    if (value.isNone())
        return;
    parent->setValueForSpecifier(value, row);
    if (auto t = table())
        t->reloadData();
}
