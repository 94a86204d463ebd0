#include "platform/prefs/PSSpecifier.h"

#include <cstdio>

std::shared_ptr<PSSpecifier> PSSpecifier::preferenceSpecifierNamed(std::string name,
                                                                   const std::shared_ptr<NSObject>& target,
                                                                   SEL set, SEL get, std::string detail,
                                                                   PSCellType cell, std::string edit) {
    auto s = std::shared_ptr<PSSpecifier>(new PSSpecifier());
    s->name_ = std::move(name);
    s->target_ = target;
    s->setter_ = std::move(set);
    s->getter_ = std::move(get);
    s->detail_ = std::move(detail);
    s->cellType_ = cell;
    s->edit_ = std::move(edit);
    return s;
}

std::string PSSpecifier::identifier() const {
    PlistValue id = properties_.get("id");
    return id.isString() ? id.stringValue() : name_;
}

std::string PSSpecifier::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<PSSpecifier " + std::string(address) + ": ID " + identifier() + ", Name '" + name_ + "'>";
}

void PSSpecifier::setProperty(PlistValue value, const std::string& key) {
    if (value.isNone())
        properties_.remove(key);
    else
        properties_.set(key, std::move(value));
}
