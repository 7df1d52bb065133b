#pragma once
// The modifiers that make a key another key: Alt+F is the File menu's, never
// Close File. Shift and the keypad leave a key as it is.

#include <Qt>

namespace tarnwick {

inline Qt::KeyboardModifiers Chords(Qt::KeyboardModifiers modifiers) {
    return modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

}  // namespace tarnwick
