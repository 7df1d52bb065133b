#pragma once
// Text as the figure windows paint it: Arial at a size in pixels (never
// below 7, however small the window), and a line made smaller until it fits
// its box.

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <algorithm>
#include <string>

namespace tarnwick {

inline QFont Font(int pixels, bool bold = false) {
    QFont font("Arial");
    font.setPixelSize(std::max(7, pixels));
    font.setBold(bold);
    return font;
}

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// `text` in `box`, the font made smaller until it fits the box's width.
inline void FitText(QPainter& painter, const QRectF& box, int flags, const QString& text,
                    QFont font) {
    const int wide = QFontMetrics(font).horizontalAdvance(text);
    if (wide > box.width() && wide > 0) {
        font.setPixelSize(std::max(7, static_cast<int>(font.pixelSize() * box.width() / wide)));
    }
    painter.setFont(font);
    painter.drawText(box, flags, text);
}

}  // namespace tarnwick
