// The text form of a PropertyBag (see PropertyBag.h).
#include "platform/hosted/PropertyBag.h"

namespace corvane::platform {
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

    ErrorOr<PropertyBag> Read()
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
                const auto lineEnd = text_.indexOf(QLatin1Char('\n'), entryStart);
                const QString entry = text_.mid(entryStart, lineEnd < 0 ? -1 : lineEnd - entryStart).trimmed();
                return corvane::Error{380, "Invalid property value: " + entry.toStdString()};
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
        const auto whole = ToLong(*size);
        const auto weightValue = ToLong(*weight);
        const auto charsetValue = ToLong(*charset);
        if (!weightValue || !charsetValue) return std::nullopt;
        if (std::holds_alternative<double>(*size))
            font.Size = std::get<double>(*size);
        else if (whole)
            font.Size = *whole;
        else
            return std::nullopt;
        font.Weight = *weightValue;
        font.Charset = *charsetValue;
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

ErrorOr<PropertyBag> PropertyBag::FromText(const QString& text)
{
    return LayoutReader(text).Read();
}

}  // namespace corvane::platform
