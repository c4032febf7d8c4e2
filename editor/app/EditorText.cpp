#include "editor/app/EditorText.h"

#include "editor/app/EditorConstants.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

void adjustFont(QWidget* widget)
{
    if (!widget)
        return;
    if (widget->testAttribute(Qt::WA_SetFont)) {
        QFont font = widget->font();
        font.setStyleHint(QFont::AnyStyle, QFont::NoAntialias);
        const QString family = font.family();
        if (family == QLatin1String(FontEBM8)) {
            font.setPixelSize(8);
            font.setLetterSpacing(QFont::AbsoluteSpacing, 0.1);
            widget->setFont(font);
        } else if (family == QLatin1String(FontEBM10)) {
            font.setPixelSize(10);
            widget->setFont(font);
        }
    } else if (QWidget* parent = widget->parentWidget(); parent && parent->testAttribute(Qt::WA_SetFont)) {
        widget->setFont(parent->font());
    }
    for (QObject* child : widget->children()) {
        if (child->isWidgetType())
            adjustFont(static_cast<QWidget*>(child));
    }
}

QString trimText(const QWidget* widget, const QString& text, int maxWidth)
{
    if (!widget)
        return text;
    const QFontMetrics metrics(widget->font());
    if (metrics.horizontalAdvance(text) <= maxWidth)
        return text;
    const QString label{QChar(TrimLabel)};
    QString kept = text;
    while (!kept.isEmpty()) {
        kept.chop(1);
        // Never leave half of a surrogate pair behind.
        if (!kept.isEmpty() && kept.back().isHighSurrogate())
            kept.chop(1);
        if (metrics.horizontalAdvance(kept + label) <= maxWidth)
            break;
    }
    return kept + label;
}
