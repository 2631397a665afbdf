#pragma once

#include "FileError.h"

#include <optional>
#include <utility>
#include <variant>

namespace veltrane {

// What an operation that can fail gives back: its value, or the failure with the message for
// the user and its cause (FileError's kind). value() of a failed result throws the failure,
// so that a caller whose policy is to pass failures on needs no code of its own for it.
template <typename T> class [[nodiscard]] Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(FileError failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const&
    {
        if (!ok())
            throw failure();
        return std::get<0>(m_state);
    }
    T&& value() &&
    {
        if (!ok())
            throw failure();
        return std::get<0>(std::move(m_state));
    }
    T valueOr(T fallback) const { return ok() ? std::get<0>(m_state) : std::move(fallback); }
    const T* operator->() const { return &value(); }
    const T& operator*() const& { return value(); }

    // Only of a failed result.
    const FileError& failure() const { return std::get<1>(m_state); }
    // What the user is told of a failure; empty for a success.
    QString message() const { return ok() ? QString() : failure().description(); }

private:
    std::variant<T, FileError> m_state;
};

template <> class [[nodiscard]] Expected<void> {
public:
    Expected() = default;
    Expected(FileError failure) : m_failure(std::move(failure)) {}

    bool ok() const { return !m_failure.has_value(); }
    explicit operator bool() const { return ok(); }
    void value() const
    {
        if (m_failure)
            throw *m_failure;
    }
    const FileError& failure() const { return *m_failure; }
    QString message() const { return ok() ? QString() : m_failure->description(); }

private:
    std::optional<FileError> m_failure;
};

// A failure for the user that no system error stands behind.
inline FileError failure(const QString& message, FileError::Kind kind = FileError::Kind::Other)
{
    return FileError(kind, message);
}

} // namespace veltrane
