#pragma once

// A library loaded by its soname when it is first used rather than when the program starts, and
// forwarders that call into it under the library's own names.
//
// The program is not linked with such a library. A file of forwarders lists the functions that it
// calls in an X-macro, keeps a struct of pointers to them, and defines each function under its own
// name with the prototype from the library's own header (so a forwarder of the wrong type does not
// compile); each forwarder finds the library on first use and calls the real function. The struct
// is filled all or nothing: a library that lacks one function is used for none, and every
// forwarder then answers what the library answers when it cannot start (null, a failure code).
//
//     #define MY_FUNCTIONS(X) X(foo_open) X(foo_close)
//     struct FooFunctions {
//         MY_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
//         std::string failure;  // empty once every function is found
//     };
//     FooFunctions resolveFoo() {   // called once, from LazyLibrary::functions()
//         FooFunctions f;
//         LibraryLookup lookup;
//         lookup.open("libfoo.so.1");
//         MY_FUNCTIONS(ORBITCHAT_LAZY_FIND)
//         return lookup.finish(f, "the foo library (libfoo.so.1) could not be loaded: ");
//     }
//     LazyLibrary<FooFunctions> gFoo;  // or a function-local static
//     foo* foo_open(const char* name) { return forwardTo(gFoo.functions(resolveFoo).foo_open, name); }
//
// The first use may come from any thread, several at once: the library is looked up exactly once
// for the process, and every caller sees the same outcome. Nothing is ever unloaded, since
// objects of the library may live until the process ends.

#include <atomic>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

// One member of a struct of functions: a pointer of the function's own type, null until found.
#define ORBITCHAT_LAZY_POINTER(name) decltype(&::name) name = nullptr;
// Finds one function into the struct `f` with the lookup `lookup` (both named so by the caller).
#define ORBITCHAT_LAZY_FIND(name) lookup.find(f.name, #name);

// Opens libraries by soname and finds functions in them, stopping at the first failure, whose
// words it keeps. Not thread-safe: it is used once, under LazyLibrary's once-only initialisation.
class LibraryLookup {
public:
    // How failures are said: `cannotOpen` when the loader gives no reason for a library it cannot
    // open, `missing` before the name of a function that the library lacks.
    struct Words {
        const char* cannotOpen = "it cannot be opened";
        const char* missing = "it has no ";
    };

    LibraryLookup() = default;
    explicit LibraryLookup(Words words) : words_(words) {}

    // Opens `soname` (with every symbol bound now, kept out of the global scope), unless an
    // earlier step failed; later finds look in it. Failure: the loader's words (dlerror).
    void open(const char* soname);

    // Finds `name` in the library opened last, unless an earlier step failed. Failure: the
    // library lacks it ("it has no <name>").
    template <class Function> void find(Function*& function, const char* name) {
        if (!failure_.empty())
            return;
        function = reinterpret_cast<Function*>(symbol(name));
    }

    // Records why the library cannot be used (its own initialisation failed), unless an earlier
    // step failed already.
    void fail(std::string why);

    bool failed() const { return !failure_.empty(); }
    const std::string& failure() const { return failure_; }
    // The library opened last: after a failure, the one that failed.
    const std::string& soname() const { return soname_; }

    // All or nothing: `functions` as found, or, after a failure, a struct with no function at all
    // whose `failure` is `prefix` followed by the reason.
    template <class Functions> Functions finish(Functions functions, const std::string& prefix) const {
        if (failure_.empty())
            return functions;
        Functions none;
        none.failure = prefix + failure_;
        return none;
    }

private:
    void* symbol(const char* name);

    Words words_;
    std::string soname_;
    void* handle_ = nullptr;
    std::string failure_;
};

// A library's functions, looked up once for the process at the first call from any thread; a
// thread that comes while another looks it up waits for it.
template <class Functions> class LazyLibrary {
public:
    // The functions, looked up by `resolve` at the first call (later calls answer at once).
    // `resolve` runs exactly once, so it is also where a failure is logged once.
    template <class Resolve> const Functions& functions(Resolve&& resolve) {
        // Drawing calls a forwarder thousands of times a frame: once looked up, a plain load of
        // the flag answers, without a call into the thread library's once-only machinery.
        if (!ready_.load(std::memory_order_acquire))
            std::call_once(once_, [&] {
                functions_ = std::forward<Resolve>(resolve)();
                ready_.store(true, std::memory_order_release);
            });
        return functions_;
    }

private:
    std::atomic<bool> ready_ = false;
    std::once_flag once_;
    Functions functions_;
};

// What a forwarder answers when its library is missing: null for a pointer, nothing for no
// result, and for anything else what `Answers::unavailable<R>()` says (a library's own failure
// codes). Answers is the library's own small struct.
struct NoOtherAnswers {
    template <class R> static R unavailable() {
        static_assert(std::is_void_v<R>, "a forwarder's result needs an answer for a missing library");
    }
};

template <class Answers = NoOtherAnswers, class R, class... Parameters, class... Arguments>
R forwardTo(R (*function)(Parameters...), Arguments... arguments) {
    if (function)
        return function(arguments...);
    if constexpr (std::is_void_v<R>)
        return;
    else if constexpr (std::is_pointer_v<R>)
        return nullptr;
    else
        return Answers::template unavailable<R>();
}
