// The details panel's words for a file's attribute value.
#pragma once

#include <QString>
#include <QtGlobal>

namespace corvane {

// The description of an attribute value, or the value in decimal when it has none: the
// value's decimal text is looked up in a fixed table, first equal key wins.
QString AttributeText(quint32 attributes);

}  // namespace corvane
