#pragma once

// A row of a Preferences list (PSSpecifier): its title, cell type, the target that answers its
// getter, setter and button action by selector, and a dictionary of properties ("key",
// "defaults", "footerText", "iconImage", and every key of the row's plist entry). Property values
// are PlistValues, so an icon travels as an Object value.
//
//     auto row = PSSpecifier::preferenceSpecifierNamed("Messages", self, "setValue:forSpecifier:", {},
//                                                      {},
//                                                      PSTableCell::cellTypeFromString("PSStaticTextCell"),
//                                                      {});
//     row->setProperty(PlistValue("com.apple.MobileSMS"), "key");

#include "platform/foundation/NSObject.h"
#include "platform/prefs/PSTableCell.h"

#include <memory>
#include <string>
#include <vector>

class PSCellClass;

class PSSpecifier : public NSObject {
public:
    // preferenceSpecifierNamed:target:set:get:detail:cell:edit:. Setter, getter, detail and edit
    // may be empty (none); detail and edit name controller classes.
    static std::shared_ptr<PSSpecifier> preferenceSpecifierNamed(std::string name,
                                                                 const std::shared_ptr<NSObject>& target,
                                                                 SEL set, SEL get, std::string detail,
                                                                 PSCellType cell, std::string edit);

    std::string className() const override { return "PSSpecifier"; }
    // "<PSSpecifier 0x...: ID enabled, Name 'Enabled'>": the row's identifier and title.
    std::string description() const override;

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // The "id" property when it is a string, else the title.
    std::string identifier() const;
    PSCellType cellType() const { return cellType_; }
    void setCellType(PSCellType type) { cellType_ = type; }

    std::shared_ptr<NSObject> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<NSObject>& target) { target_ = target; }
    const SEL& setter() const { return setter_; }
    const SEL& getter() const { return getter_; }
    const SEL& action() const { return action_; } // a button row's action
    void setButtonAction(SEL action) { action_ = std::move(action); }
    const std::string& detailControllerClass() const { return detail_; }
    const std::string& editPaneClass() const { return edit_; }

    // The class the row needs that this device does not have when nothing stock can stand in for
    // it (a "cellClass" of the bundle's own on a row with neither "cell" nor "label"): the row is
    // then shown as a marked placeholder that does nothing. Empty otherwise.
    const std::string& missingClassName() const { return missingClass_; }
    void setMissingClassName(std::string name) { missingClass_ = std::move(name); }

    // The class the row's "cellClass" names when the device has it as a library's code
    // (PSCellClasses), or null: the stock cell of its type.
    const std::shared_ptr<const PSCellClass>& cellClass() const { return cellClass_; }
    void setCellClass(std::shared_ptr<const PSCellClass> cls) { cellClass_ = std::move(cls); }
    // The class of the bundle's own code that the row names and the device does not have, when the
    // row is drawn and run as the stock cell of its type in its place; empty otherwise.
    const std::string& approximatedClassName() const { return approximatedClass_; }
    void setApproximatedClassName(std::string name) { approximatedClass_ = std::move(name); }

    // The property dictionary itself (changes through it are the row's).
    const PlistValue& properties() const { return properties_; }
    void setProperty(PlistValue value, const std::string& key);
    PlistValue propertyForKey(std::string_view key) const { return properties_.get(key); }

protected:
    PSSpecifier() = default;

private:
    std::string name_;
    std::weak_ptr<NSObject> target_;
    SEL setter_;
    SEL getter_;
    SEL action_;
    std::string detail_;
    std::string edit_;
    std::string missingClass_;
    std::string approximatedClass_;
    std::shared_ptr<const PSCellClass> cellClass_;
    PSCellType cellType_ = PSGroupCell;
    PlistValue properties_ = PlistValue::dictionary();
};

using PSSpecifierList = std::vector<std::shared_ptr<PSSpecifier>>;
