#pragma once

// Cell classes a row names by "cellClass" (or a group by "headerCellClass") that the device has as
// code: classes of the preference libraries that tweaks install beside the framework. A class
// decides, for the rows that name it, what the stock list does by type: how the row is prepared
// when its plist loads, its cell, its height, what a tap does, where its value is read and stored,
// what a script's `set` text means for it, and a group's header view. Every hook has the stock
// behaviour as its default, so a class overrides only what differs.
//
// Classes are registered per device environment, by name (several names may share one class):
//
//     PSCellClasses::registerClass("HBLinkTableCell", std::make_shared<HBLinkTableCellClass>());
//     if (auto cls = PSCellClasses::named(row.propertyForKey("cellClass").stringValue())) ...
//
// A list convention runs over a whole list once its plist has loaded (after every row is
// prepared): a library whose controllers change what stock rows do (a link cell without an action
// opens its URL; rows filtered by OS version) applies its rules to lists that use it.
//
// A row whose class is neither stock nor registered is drawn as the stock cell its "cell" names
// and marked approximated (PSSpecifier::approximatedClassName); see PSListController.

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Result.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/prefs/PSSpecifier.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class PSListController;
class UITableViewCell;
class UIView;

class PSCellClass {
public:
    virtual ~PSCellClass() = default;

    // After the row is read from its plist and localised, before the list shows: the class may
    // change the row's cell type, accessors, action or properties.
    virtual void prepareSpecifier(PSSpecifier& /*row*/, PSListController& /*list*/) const {}

    // The row's cell from one read of its value. The default is the stock cell of its type
    // (PSTableCellViews::stockCell), which a class may build and then dress further.
    virtual std::shared_ptr<UITableViewCell> cellForSpecifier(PSListController& list,
                                                              const std::shared_ptr<PSSpecifier>& row,
                                                              const PlistValue& value) const;

    // The row's height, or nothing: the row's "height" if any, else the cell's own.
    virtual std::optional<CGFloat> height(const PSSpecifier& /*row*/) const { return std::nullopt; }

    // A user's tap on the row (not disabled, not a group); answers whether the class handled it.
    // Unhandled taps do what the stock row of its type does.
    virtual bool tap(PSListController& /*list*/, const std::shared_ptr<PSSpecifier>& /*row*/) const {
        return false;
    }

    // The row's value as its cell shows it, or nothing for the stock getter (the class reads its
    // own file, for example).
    virtual std::optional<PlistValue> read(PSListController& /*list*/,
                                           const std::shared_ptr<PSSpecifier>& /*row*/) const {
        return std::nullopt;
    }
    // Stores a value the user chose; answers false to leave it to the stock setter.
    virtual bool store(PSListController& /*list*/, const PlistValue& /*value*/,
                       const std::shared_ptr<PSSpecifier>& /*row*/) const {
        return false;
    }

    // What a script's `set "ROW" TEXT` stores for the row, or nothing for the stock conversion by
    // cell type. A failure's reason is the script's error ("the colour \"Tint\" takes #RRGGBB...").
    virtual std::optional<Result<PlistValue>> valueFromText(const PSSpecifier& /*row*/,
                                                            const std::string& /*text*/) const {
        return std::nullopt;
    }
    // The value as text, as the cell shows it (the dump's "value"), or nothing for the stock text.
    virtual std::optional<std::string> shownText(const PSSpecifier& /*row*/,
                                                 const PlistValue& /*stored*/) const {
        return std::nullopt;
    }
    // The title the row's cell shows for the value when it is not the row's name (a title that
    // shows the value), or nothing. Scripts find the row by either.
    virtual std::optional<std::string> title(const PSSpecifier& /*row*/, const PlistValue& /*stored*/) const {
        return std::nullopt;
    }
    // What a script's `set` takes, for messages ("#RRGGBB or #RRGGBBAA"); empty: the stock text.
    virtual std::string_view scriptInput() const { return {}; }

    // As a group's "headerCellClass": the view over the group's rows, `width` wide with its height
    // set, or null for the stock header text.
    virtual std::shared_ptr<UIView> headerView(PSListController& /*list*/,
                                               const std::shared_ptr<PSSpecifier>& /*group*/,
                                               CGFloat /*width*/) const {
        return nullptr;
    }
};

class PSCellClasses {
public:
    using ListConvention = std::function<void(PSSpecifierList& rows, PSListController& list)>;

    // Registers a class under a name for the current device environment (replacing one of that name).
    static void registerClass(std::string name, std::shared_ptr<const PSCellClass> cls);
    // The registered class of this name, or null.
    static std::shared_ptr<const PSCellClass> named(std::string_view name);
    // Whether the name is a stock cell class or a registered one: code the device has.
    static bool isKnown(std::string_view name);
    // The names registered, sorted.
    static std::vector<std::string> registeredNames();

    static void addListConvention(ListConvention convention);
    // Runs every convention over a freshly loaded list, in the order they were added.
    static void applyListConventions(PSSpecifierList& rows, PSListController& list);
};
