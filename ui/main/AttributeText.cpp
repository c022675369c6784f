#include "ui/main/AttributeText.h"

namespace corvane {

namespace {

struct AttributeRow {
    const char* key;  // the attribute value in decimal
    const char* text;
};

// Tested from the top; the keys are distinct.
constexpr AttributeRow kAttributeTexts[] = {
    {"32", "Archive"},
    {"33", "Read-Only and Archive"},
    {"34", "Hidden and Archive"},
    {"35", "Read-Only, Hidden and Archive"},
    {"38", "Hidden, Archive and System"},
    {"0", "Normal"},
    {"2", "Hidden"},
    {"4", "System"},
    {"8", "Volume Label"},
    {"17", "Directory with attribute read only"},
    {"1", "Read-Only"},
    {"64", "Link or Shortcut"},
    {"128", "Compressed file"},
    {"16", "Directory"},
    {"20", "Directory with attribute System"},
    {"7", "System, Hidden, Read-Only"},
    {"3", "Hidden and Read-Only"},
};

}  // namespace

QString AttributeText(quint32 attributes)
{
    const QString value = QString::number(attributes);
    for (const AttributeRow& row : kAttributeTexts) {
        if (value == QLatin1String(row.key)) return QString::fromLatin1(row.text);
    }
    return value;
}

}  // namespace corvane
