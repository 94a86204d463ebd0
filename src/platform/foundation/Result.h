#pragma once

// What an operation at the file, network or host boundary hands back: its value, or why it failed.
// The caller must look (the type is [[nodiscard]]); asking a failure for its value, or a success
// for its failure, is a programming error and throws std::logic_error.
//
//     Result<std::string> read = readHostFile(path, 1 << 20);
//     if (!read)
//         return Failure{path + ": " + read.failure().reason};
//     use(read.value());
//
// `Result<>` (of void) is a success or a failure and nothing else.

#include <stdexcept>
#include <string>
#include <utility>
#include <variant>

// Why an operation failed: a reason for a person, in a few words ("no such file", "permission
// denied", "larger than 8388608 bytes"), and a code for code: the errno of the failed system call,
// or a domain's own code; 0 when there is none.
struct Failure {
    std::string reason;
    int code = 0;
    bool operator==(const Failure&) const = default;
};

template <class T = void> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        check(true);
        return std::get<0>(state_);
    }
    const T& value() const& {
        check(true);
        return std::get<0>(state_);
    }
    T&& value() && {
        check(true);
        return std::get<0>(std::move(state_));
    }
    T valueOr(T fallback) const& { return ok() ? std::get<0>(state_) : std::move(fallback); }
    const Failure& failure() const {
        check(false);
        return std::get<1>(state_);
    }
    // The failure's reason, or "" on success.
    std::string reason() const { return ok() ? std::string() : std::get<1>(state_).reason; }

private:
    void check(bool wantValue) const {
        if (ok() != wantValue)
            throw std::logic_error(wantValue
                                       ? "Result: value() of a failure (" + std::get<1>(state_).reason + ")"
                                       : "Result: failure() of a success");
    }
    std::variant<T, Failure> state_;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}

    static Result success() { return {}; }
    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Failure& failure() const {
        if (ok_)
            throw std::logic_error("Result: failure() of a success");
        return failure_;
    }
    std::string reason() const { return ok_ ? std::string() : failure_.reason; }

private:
    Failure failure_;
    bool ok_ = true;
};
