// The stored layout of one control instance: named values, names matched without regard to case.
//
// ReadProperty(name, default) gives the stored value, or the default when the name is absent.
// WriteProperty(name, value, default) stores the value, or nothing (and forgets an earlier value)
// when it equals the default; WriteProperty(name, value) always stores it.
//
// The conversions To* give a stored value as the type a property needs, or error 13 (type
// mismatch) when the value is of another kind.
#pragma once

#include "codec/Error.h"
#include "platform/hosted/Color.h"
#include "platform/hosted/StdFont.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace corvane::platform {

using PropertyValue = std::variant<bool, std::int64_t, double, QString, StdFont>;

// A colour as the bag stores it: the 32-bit value as a whole number.
inline PropertyValue ColorValue(OleColor colour) { return static_cast<std::int64_t>(colour); }

ErrorOr<bool> ToBoolean(const PropertyValue& value);
ErrorOr<std::int32_t> ToLong(const PropertyValue& value);  // colours above 0x7FFFFFFF keep their bits
ErrorOr<OleColor> ToColor(const PropertyValue& value);
ErrorOr<QString> ToText(const PropertyValue& value);
ErrorOr<StdFont> ToFont(const PropertyValue& value);

// The error of the first of `values` that holds one, if any.
template <class... T>
std::optional<corvane::Error> FirstError(const ErrorOr<T>&... values)
{
    std::optional<corvane::Error> first;
    ((first = first ? first : values ? std::nullopt : std::optional(values.error())), ...);
    return first;
}

class PropertyBag {
public:
    PropertyValue ReadProperty(const QString& name, const PropertyValue& defaultValue) const;
    void WriteProperty(const QString& name, const PropertyValue& value, const PropertyValue& defaultValue);
    void WriteProperty(const QString& name, const PropertyValue& value);

    bool Contains(const QString& name) const;
    std::size_t Count() const { return entries_.size(); }
    const std::vector<std::pair<QString, PropertyValue>>& Entries() const { return entries_; }

    friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

private:
    std::vector<std::pair<QString, PropertyValue>>::iterator Find(const QString& name);
    std::vector<std::pair<QString, PropertyValue>>::const_iterator Find(const QString& name) const;

    std::vector<std::pair<QString, PropertyValue>> entries_;  // in the order first written
};

}  // namespace corvane::platform
