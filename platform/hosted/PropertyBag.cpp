#include "platform/hosted/PropertyBag.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane::platform {
namespace {

corvane::Error TypeMismatch()
{
    return corvane::Error{13, "Type mismatch"};
}

ErrorOr<std::int32_t> WholeToLong(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::uint32_t>::max())
        return TypeMismatch();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::optional<double> NumberIn(const QString& text)
{
    bool ok = false;
    const auto whole = text.trimmed().toLongLong(&ok, 0);
    if (ok) return static_cast<double>(whole);
    const double number = text.trimmed().toDouble(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

}  // namespace

ErrorOr<bool> ToBoolean(const PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b;
    if (const auto* n = std::get_if<std::int64_t>(&value)) return *n != 0;
    if (const auto* d = std::get_if<double>(&value)) return *d != 0;
    if (const auto* s = std::get_if<QString>(&value)) {
        if (s->compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
        if (s->compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
        if (const auto number = NumberIn(*s)) return *number != 0;
    }
    return TypeMismatch();
}

ErrorOr<std::int32_t> ToLong(const PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b ? -1 : 0;
    if (const auto* n = std::get_if<std::int64_t>(&value)) return WholeToLong(*n);
    // Fractions round to the nearest whole number, halves to the even one.
    const auto fromDouble = [](double d) { return WholeToLong(static_cast<std::int64_t>(std::nearbyint(d))); };
    if (const auto* d = std::get_if<double>(&value)) return fromDouble(*d);
    if (const auto* s = std::get_if<QString>(&value)) {
        if (const auto number = NumberIn(*s)) return fromDouble(*number);
    }
    return TypeMismatch();
}

ErrorOr<OleColor> ToColor(const PropertyValue& value)
{
    CORVANE_TRY_VALUE(whole, ToLong(value));
    return static_cast<OleColor>(*whole);
}

ErrorOr<QString> ToText(const PropertyValue& value)
{
    if (const auto* s = std::get_if<QString>(&value)) return *s;
    if (const auto* b = std::get_if<bool>(&value)) return *b ? QStringLiteral("True") : QStringLiteral("False");
    if (const auto* n = std::get_if<std::int64_t>(&value)) return QString::number(*n);
    if (const auto* d = std::get_if<double>(&value)) return QString::number(*d, 'g', 15);
    return TypeMismatch();
}

ErrorOr<StdFont> ToFont(const PropertyValue& value)
{
    if (const auto* f = std::get_if<StdFont>(&value)) return *f;
    return TypeMismatch();
}

auto PropertyBag::Find(const QString& name) -> std::vector<std::pair<QString, PropertyValue>>::iterator
{
    return std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
        return entry.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

auto PropertyBag::Find(const QString& name) const -> std::vector<std::pair<QString, PropertyValue>>::const_iterator
{
    return const_cast<PropertyBag*>(this)->Find(name);
}

bool PropertyBag::Contains(const QString& name) const
{
    return Find(name) != entries_.end();
}

PropertyValue PropertyBag::ReadProperty(const QString& name, const PropertyValue& defaultValue) const
{
    const auto entry = Find(name);
    return entry == entries_.end() ? defaultValue : entry->second;
}

void PropertyBag::WriteProperty(const QString& name, const PropertyValue& value, const PropertyValue& defaultValue)
{
    if (value == defaultValue) {
        if (const auto entry = Find(name); entry != entries_.end()) entries_.erase(entry);
        return;
    }
    WriteProperty(name, value);
}

void PropertyBag::WriteProperty(const QString& name, const PropertyValue& value)
{
    if (const auto entry = Find(name); entry != entries_.end()) {
        entry->second = value;
        return;
    }
    entries_.emplace_back(name, value);
}

}  // namespace corvane::platform
