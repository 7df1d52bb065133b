#pragma once
// Typing into a window's field the way a keyboard does.

#include <QChar>
#include <QString>
#include <QTest>
#include <QWidget>

namespace tarnwick {

// Types `text` key by key. A character beyond ASCII comes with the key code a
// keyboard that has it sends (the code of its capital in Latin-1).
inline void TypeKeys(QWidget& widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(&widget, static_cast<char>(c.unicode()));
        } else {
            QTest::sendKeyEvent(QTest::Click, &widget, static_cast<Qt::Key>(c.toUpper().unicode()),
                                QString(c), Qt::NoModifier);
        }
    }
}

}  // namespace tarnwick
