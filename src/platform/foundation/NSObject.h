#pragma once

// The root of the platform's reference objects. Objects are made by static `create(...)`
// factories and held by std::shared_ptr; `shared_from_this` gives a strong reference to self.
//
// Target/action and the Preferences framework's getters and setters name operations by selector
// strings ("getValueForSpecifier:"). A class that answers selectors keeps one SelectorTable and
// overrides `selectorTable()`; `performSelector` walks it (the runtime's method lookup, done once
// per class instead of per call).

#include "platform/foundation/plist/PlistValue.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

using SEL = std::string;

class NSObject;

// The table from selector name to member function of one class. Arguments and the result travel
// as PlistValues (objects inside them as `Object`). A table may chain to its base class's table.
class SelectorTable {
public:
    using Method = std::function<PlistValue(NSObject& self, std::span<const PlistValue> args)>;

    SelectorTable(std::vector<std::pair<std::string, Method>> methods, const SelectorTable* base = nullptr);

    // Binds a member function of T taking `n` arguments and returning a PlistValue or void; const
    // members (getters) bind the same way.
    template <class T, class R, class... A> static Method bind(R (T::*fn)(A...)) {
        return [fn](NSObject& self, std::span<const PlistValue> args) -> PlistValue {
            return call(static_cast<T&>(self), fn, Signature<R, A...>{}, args,
                        std::index_sequence_for<A...>{});
        };
    }
    template <class T, class R, class... A> static Method bind(R (T::*fn)(A...) const) {
        return [fn](NSObject& self, std::span<const PlistValue> args) -> PlistValue {
            return call(static_cast<const T&>(self), fn, Signature<R, A...>{}, args,
                        std::index_sequence_for<A...>{});
        };
    }

    const Method* find(std::string_view selector) const;

private:
    // `fn` is a pointer to a member of Self (const or not) taking A... and answering R.
    template <class R, class... A> struct Signature {};
    template <class Self, class Fn, class R, class... A, std::size_t... I>
    static PlistValue call(Self& self, Fn fn, Signature<R, A...>, std::span<const PlistValue> args,
                           std::index_sequence<I...>) {
        auto arg = [&](std::size_t i) { return i < args.size() ? args[i] : PlistValue(); };
        if constexpr (std::is_void_v<R>) {
            (self.*fn)(convert<A>(arg(I))...);
            return {};
        } else {
            return PlistValue((self.*fn)(convert<A>(arg(I))...));
        }
    }

    template <class T> struct IsSharedPtr : std::false_type {};
    template <class T> struct IsSharedPtr<std::shared_ptr<T>> : std::true_type { using element = T; };
    // An argument declared as shared_ptr<T> receives the Object inside the value (or null).
    template <class A> static std::decay_t<A> convert(const PlistValue& v) {
        using D = std::decay_t<A>;
        if constexpr (IsSharedPtr<D>::value)
            return v.template objectAs<typename IsSharedPtr<D>::element>();
        else
            return v;
    }

    std::vector<std::pair<std::string, Method>> methods_;
    const SelectorTable* base_;
};

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    // The class name as the platform would print it ("PSSpecifier").
    virtual std::string className() const { return "NSObject"; }
    // What "%@" prints for this object: "<ClassName: 0x...>" unless a class says more.
    virtual std::string description() const;

    // Nullptr when the class answers no selector.
    virtual const SelectorTable* selectorTable() const { return nullptr; }
    bool respondsToSelector(std::string_view selector) const;
    // Calls the method bound to the selector; answers none when the class does not respond.
    PlistValue performSelector(std::string_view selector, std::span<const PlistValue> args = {});
    PlistValue performSelector(std::string_view selector, std::initializer_list<PlistValue> args) {
        return performSelector(selector, std::span<const PlistValue>(args.begin(), args.size()));
    }
};
