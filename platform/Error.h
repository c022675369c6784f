// A failed platform operation: the system's error number and a description naming what failed.
#pragma once

#include <QString>
#include <QtGlobal>

namespace corvane::platform {

struct Error {
    qint32 number = 0;
    QString description;
    friend bool operator==(const Error&, const Error&) = default;
};

}  // namespace corvane::platform
