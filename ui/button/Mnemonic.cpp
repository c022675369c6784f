#include "ui/button/Mnemonic.h"

namespace corvane {

Mnemonic ParseMnemonic(const QString& caption)
{
    const QChar amp = QLatin1Char('&');
    Mnemonic result;
    int doubled = 0;
    bool marked = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != amp) {
            result.Text += caption[i];
            continue;
        }
        if (i + 1 >= caption.size()) break;  // a trailing marker shows nothing
        if (caption[i + 1] == amp) {
            result.Text += amp;
            ++doubled;
            ++i;
            continue;
        }
        if (!marked && doubled < 2) result.Underlined = result.Text.size();
        marked = true;
    }
    return result;
}

QString Mnemonic::AccessKey() const
{
    return Underlined < 0 ? QString() : QString(Text[Underlined].toLower());
}

QString Mnemonic::ForPainter() const
{
    QString marked;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (i == Underlined || Text[i] == QLatin1Char('&')) marked += QLatin1Char('&');
        marked += Text[i];
    }
    return marked;
}

}  // namespace corvane
