// The one error value of the program: the system's error number and a description that names
// what failed. Every layer carries it unchanged up to the one place that shows it.
//
// Two idioms, and only these:
// - A command that can fail returns `[[nodiscard]] std::optional<Error>`: nothing on success.
// - A query that can fail returns `ErrorOr<T>`: the value, or the error.
// In a function that returns either, CORVANE_TRY and CORVANE_TRY_VALUE below pass a failure on.
//
// How errors are worded lives in Describe.h.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace corvane {

struct Error {
    std::int32_t number = 0;
    std::string description;  // UTF-8, one line

    friend bool operator==(const Error&, const Error&) = default;
};

// "Error: <number>: <description>", the line every failure is shown as, the description's
// controls escaped as ShownText (Describe.h) escapes them, so that it stays one line of valid
// UTF-8; the escapes already in it are not escaped again.
std::string ErrorLine(const Error& error);

// "Warning: <number>: <description>", the line of a failure that did not stop the work (a
// file written whose folder could not be flushed), escaped as ErrorLine is.
std::string WarningLine(const Error& warning);

// A value of type T, or the Error that kept the query from producing one.
template <class T>
class [[nodiscard]] ErrorOr {
    static_assert(!std::is_same_v<T, Error>, "a command returns std::optional<Error>");

public:
    ErrorOr(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    ErrorOr(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // Calling these on the other alternative throws std::bad_variant_access.
    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const Error& error() const { return std::get<1>(state_); }

    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

private:
    std::variant<T, Error> state_;
};

}  // namespace corvane

// Runs a command and, when it fails, returns its error from the enclosing function (which
// returns std::optional<Error> or ErrorOr<T>).
#define CORVANE_TRY(command)                                                                   \
    do {                                                                                       \
        if (auto corvane_try_error = (command)) return *std::move(corvane_try_error);          \
    } while (false)

// Declares `name` as the ErrorOr<T> of a query and, when it failed, returns its error from the
// enclosing function; after it, `*name` is the value.
#define CORVANE_TRY_VALUE(name, query) \
    auto name = (query);               \
    if (!name) return name.error()
