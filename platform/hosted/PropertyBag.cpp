#include "platform/hosted/PropertyBag.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane::platform {
namespace {

std::int32_t WholeToLong(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::uint32_t>::max())
        throw TypeMismatch();
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

bool ToBoolean(const PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b;
    if (const auto* n = std::get_if<std::int64_t>(&value)) return *n != 0;
    if (const auto* d = std::get_if<double>(&value)) return *d != 0;
    if (const auto* s = std::get_if<QString>(&value)) {
        if (s->compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
        if (s->compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
        if (const auto number = NumberIn(*s)) return *number != 0;
    }
    throw TypeMismatch();
}

std::int32_t ToLong(const PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b ? -1 : 0;
    if (const auto* n = std::get_if<std::int64_t>(&value)) return WholeToLong(*n);
    // Fractions round to the nearest whole number, halves to the even one.
    const auto fromDouble = [](double d) { return WholeToLong(static_cast<std::int64_t>(std::nearbyint(d))); };
    if (const auto* d = std::get_if<double>(&value)) return fromDouble(*d);
    if (const auto* s = std::get_if<QString>(&value)) {
        if (const auto number = NumberIn(*s)) return fromDouble(*number);
    }
    throw TypeMismatch();
}

OleColor ToColor(const PropertyValue& value)
{
    return static_cast<OleColor>(ToLong(value));
}

QString ToText(const PropertyValue& value)
{
    if (const auto* s = std::get_if<QString>(&value)) return *s;
    if (const auto* b = std::get_if<bool>(&value)) return *b ? QStringLiteral("True") : QStringLiteral("False");
    if (const auto* n = std::get_if<std::int64_t>(&value)) return QString::number(*n);
    if (const auto* d = std::get_if<double>(&value)) return QString::number(*d, 'g', 15);
    throw TypeMismatch();
}

StdFont ToFont(const PropertyValue& value)
{
    if (const auto* f = std::get_if<StdFont>(&value)) return *f;
    throw TypeMismatch();
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

namespace {

QString Quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) out += QLatin1Char('\\');
        if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
            continue;
        }
        out += c;
    }
    return out + QLatin1Char('"');
}

QString ValueText(const PropertyValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) return *b ? QStringLiteral("True") : QStringLiteral("False");
    if (const auto* n = std::get_if<std::int64_t>(&value)) {
        // Colour-sized values read better in hex.
        if (*n >= 0x10000) return QLatin1String("0x") + QStringLiteral("%1").arg(*n, 8, 16, QLatin1Char('0')).toUpper();
        return QString::number(*n);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        QString text = QString::number(*d, 'g', 15);
        if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e'))) text += QLatin1String(".0");
        return text;
    }
    if (const auto* s = std::get_if<QString>(&value)) return Quoted(*s);
    const auto& f = std::get<StdFont>(value);
    return QStringLiteral("Font(%1, %2, %3, %4)")
        .arg(Quoted(f.Name), QString::number(f.Size, 'g', 15), QString::number(f.Weight), QString::number(f.Charset));
}

// A small recursive-descent reader of the text form.
class LayoutReader {
public:
    explicit LayoutReader(const QString& text) : text_(text) {}

    std::optional<PropertyBag> Read(Error* error)
    {
        PropertyBag bag;
        while (true) {
            SkipSpaceAndSeparators();
            if (AtEnd()) return bag;
            const qsizetype entryStart = pos_;
            const auto name = Name();
            std::optional<PropertyValue> value;
            if (!name.isEmpty() && Take(QLatin1Char('='))) value = Value();
            SkipSpace();
            if (!value || !(AtEnd() || Peek() == QLatin1Char(';') || Peek() == QLatin1Char('\n'))) {
                if (error) {
                    const auto lineEnd = text_.indexOf(QLatin1Char('\n'), entryStart);
                    *error = Error{380, QStringLiteral("Invalid property value: %1")
                                                .arg(text_.mid(entryStart, lineEnd < 0 ? -1 : lineEnd - entryStart).trimmed())};
                }
                return std::nullopt;
            }
            bag.WriteProperty(name, *value);
        }
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    QChar Peek() const { return AtEnd() ? QChar() : text_[pos_]; }
    void SkipSpace()
    {
        while (!AtEnd() && (Peek() == QLatin1Char(' ') || Peek() == QLatin1Char('\t') || Peek() == QLatin1Char('\r'))) ++pos_;
    }
    void SkipSpaceAndSeparators()
    {
        while (!AtEnd() && (Peek().isSpace() || Peek() == QLatin1Char(';'))) ++pos_;
    }
    bool Take(QChar c)
    {
        SkipSpace();
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }
    QString Name()
    {
        SkipSpace();
        const auto start = pos_;
        while (!AtEnd() && (Peek().isLetterOrNumber() || Peek() == QLatin1Char('_'))) ++pos_;
        return text_.mid(start, pos_ - start);
    }
    std::optional<QString> String()
    {
        if (!Take(QLatin1Char('"'))) return std::nullopt;
        QString out;
        while (!AtEnd()) {
            QChar c = text_[pos_++];
            if (c == QLatin1Char('"')) return out;
            if (c == QLatin1Char('\\') && !AtEnd()) {
                c = text_[pos_++];
                if (c == QLatin1Char('n')) c = QLatin1Char('\n');
            }
            out += c;
        }
        return std::nullopt;
    }
    std::optional<PropertyValue> Number()
    {
        SkipSpace();
        const auto start = pos_;
        while (!AtEnd() && (Peek().isLetterOrNumber() || Peek() == QLatin1Char('.') || Peek() == QLatin1Char('-') ||
                            Peek() == QLatin1Char('+')))
            ++pos_;
        const auto token = text_.mid(start, pos_ - start);
        bool ok = false;
        const auto whole = token.toLongLong(&ok, 0);
        if (ok) return PropertyValue(static_cast<std::int64_t>(whole));
        const double number = token.toDouble(&ok);
        if (ok) return PropertyValue(number);
        return std::nullopt;
    }
    std::optional<PropertyValue> Value()
    {
        SkipSpace();
        if (Peek() == QLatin1Char('"')) {
            auto s = String();
            return s ? std::optional<PropertyValue>(*s) : std::nullopt;
        }
        if (Peek().isLetter()) {
            const auto save = pos_;
            const auto word = Name();
            if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return PropertyValue(true);
            if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return PropertyValue(false);
            if (word.compare(QLatin1String("Font"), Qt::CaseInsensitive) == 0) return Font();
            pos_ = save;
        }
        return Number();
    }
    std::optional<PropertyValue> Font()
    {
        StdFont font;
        if (!Take(QLatin1Char('('))) return std::nullopt;
        const auto name = String();
        if (!name || !Take(QLatin1Char(','))) return std::nullopt;
        font.Name = *name;
        const auto size = Number();
        if (!size || !Take(QLatin1Char(','))) return std::nullopt;
        const auto weight = Number();
        if (!weight || !Take(QLatin1Char(','))) return std::nullopt;
        const auto charset = Number();
        if (!charset || !Take(QLatin1Char(')'))) return std::nullopt;
        try {
            font.Size = std::holds_alternative<double>(*size) ? std::get<double>(*size) : ToLong(*size);
            font.Weight = ToLong(*weight);
            font.Charset = ToLong(*charset);
        } catch (const TypeMismatch&) {
            return std::nullopt;
        }
        return PropertyValue(font);
    }

    const QString& text_;
    qsizetype pos_ = 0;
};

}  // namespace

QString PropertyBag::ToText() const
{
    QString out;
    for (const auto& [name, value] : entries_) out += name + QLatin1String(" = ") + ValueText(value) + QLatin1Char('\n');
    return out;
}

std::optional<PropertyBag> PropertyBag::FromText(const QString& text, Error* error)
{
    return LayoutReader(text).Read(error);
}

}  // namespace corvane::platform
