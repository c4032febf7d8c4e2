#pragma once
// Font adjustment that every view and panel applies to itself, and the text
// shortening used by the views' labels.
#include <QString>

class QWidget;

// Gives the skin's bitmap fonts their exact pixel sizes (no antialiasing) and
// lets widgets without a font of their own inherit their parent's; then does
// the same for every child widget, in child order.
void adjustFont(QWidget* widget);

// The text unchanged when it fits maxWidth pixels in the widget's font;
// otherwise the longest start of it that fits when followed by TrimLabel,
// followed by TrimLabel (TrimLabel alone when not even one character fits).
QString trimText(const QWidget* widget, const QString& text, int maxWidth);
