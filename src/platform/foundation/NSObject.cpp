#include "platform/foundation/NSObject.h"

#include <cstdio>

SelectorTable::SelectorTable(std::vector<std::pair<std::string, Method>> methods, const SelectorTable* base)
    : methods_(std::move(methods)), base_(base) {}

const SelectorTable::Method* SelectorTable::find(std::string_view selector) const {
    for (const SelectorTable* t = this; t; t = t->base_) {
        for (const auto& [name, method] : t->methods_) {
            if (name == selector)
                return &method;
        }
    }
    return nullptr;
}

std::string NSObject::description() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, ": %p>", static_cast<const void*>(this));
    return "<" + className() + buf;
}

bool NSObject::respondsToSelector(std::string_view selector) const {
    const SelectorTable* table = selectorTable();
    return table && table->find(selector);
}

PlistValue NSObject::performSelector(std::string_view selector, std::span<const PlistValue> args) {
    const SelectorTable* table = selectorTable();
    const SelectorTable::Method* method = table ? table->find(selector) : nullptr;
    if (!method)
        return {};
    return (*method)(*this, args);
}
