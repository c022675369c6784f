#include "platform/TextWrap.h"

namespace corvane::platform {

QString WithWrapPoints(const QString& text)
{
    constexpr int kLongestRun = 30;
    QString out;
    out.reserve(text.size() * 2);
    int run = 0;
    const auto flush = [&](qsizetype end) {
        const bool wraps = run > kLongestRun;
        for (qsizetype i = end - run; i < end; ++i) {
            out += text.at(i);
            const bool joined = i + 1 < end && (text.at(i).isHighSurrogate() || text.at(i + 1).isMark());
            if (wraps && i + 1 < end && !joined) out += QChar(0x200B);
        }
        run = 0;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isSpace()) {
            flush(i);
            out += text.at(i);
        } else {
            ++run;
        }
    }
    flush(text.size());
    return out;
}

QString WrappedToolTip(const QString& text)
{
    if (text.isEmpty()) return {};
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + WithWrapPoints(text).toHtmlEscaped() +
           QStringLiteral("</p>");
}

}  // namespace corvane::platform
