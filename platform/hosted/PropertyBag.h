// The stored layout of one control instance: named values, names matched without regard to case.
//
// ReadProperty(name, default) gives the stored value, or the default when the name is absent.
// WriteProperty(name, value, default) stores the value, or nothing (and forgets an earlier value)
// when it equals the default; WriteProperty(name, value) always stores it.
//
// A bag travels in a window's layout data as text: one `Name = value` entry per line or separated
// by ";", where a value is True or False, a whole number (decimal or 0x hex), a decimal number, a
// quoted string ("\"" and "\\" escape a quote and a backslash, "\n" is a line feed) or a font,
// Font("MS Sans Serif", 8.25, 400, 0) with face, points, weight and character set.
#pragma once

#include "platform/Error.h"
#include "platform/hosted/Color.h"
#include "platform/hosted/StdFont.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

namespace corvane::platform {

using PropertyValue = std::variant<bool, std::int64_t, double, QString, StdFont>;

// Thrown by the conversions below when a stored value has the wrong type; the host turns it back
// into an Error for the caller that loaded the layout.
class TypeMismatch : public std::runtime_error {
public:
    TypeMismatch() : std::runtime_error("Type mismatch") {}
    static Error AsError() { return Error{13, QStringLiteral("Type mismatch")}; }
};

// A colour as the bag stores it: the 32-bit value as a whole number.
inline PropertyValue ColorValue(OleColor colour) { return static_cast<std::int64_t>(colour); }

bool ToBoolean(const PropertyValue& value);
std::int32_t ToLong(const PropertyValue& value);  // colours above 0x7FFFFFFF keep their bits
OleColor ToColor(const PropertyValue& value);
QString ToText(const PropertyValue& value);
StdFont ToFont(const PropertyValue& value);

class PropertyBag {
public:
    PropertyValue ReadProperty(const QString& name, const PropertyValue& defaultValue) const;
    void WriteProperty(const QString& name, const PropertyValue& value, const PropertyValue& defaultValue);
    void WriteProperty(const QString& name, const PropertyValue& value);

    bool Contains(const QString& name) const;
    std::size_t Count() const { return entries_.size(); }
    const std::vector<std::pair<QString, PropertyValue>>& Entries() const { return entries_; }

    QString ToText() const;
    // Parses the text form; a malformed entry gives error 380 with the entry in its description.
    static std::optional<PropertyBag> FromText(const QString& text, Error* error = nullptr);

    friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

private:
    std::vector<std::pair<QString, PropertyValue>>::iterator Find(const QString& name);
    std::vector<std::pair<QString, PropertyValue>>::const_iterator Find(const QString& name) const;

    std::vector<std::pair<QString, PropertyValue>> entries_;  // in the order first written
};

}  // namespace corvane::platform
