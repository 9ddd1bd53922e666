// Helpers of the editor's tests: its error boxes, and bytes written as hex.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QMessageBox>

// Bytes written as hex pairs, for readable comparisons: "52 4D 15 0D".
inline QByteArray hex(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper();
}

// The error boxes the editor shows, newest last.
inline QList<QMessageBox*> errorBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box != nullptr && box->isVisible()) boxes << box;
    }
    return boxes;
}

inline QString errorBoxText() {
    const QList<QMessageBox*> boxes = errorBoxes();
    return boxes.isEmpty() ? QString() : boxes.last()->text();
}

inline void closeErrorBoxes() {
    for (QMessageBox* box : errorBoxes())
        box->close();
}
