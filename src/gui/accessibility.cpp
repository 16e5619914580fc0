#include "gui/accessibility.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QWidget>

void nameControlsByTheirLabels(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        QWidget* buddy = label->buddy();
        if (!buddy || !buddy->accessibleName().isEmpty())
            continue;
        QString text = label->text();
        text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        buddy->setAccessibleName(text.trimmed());
    }
    // The editor inside an editable combo box or a spin box is what takes the keys; it answers
    // to its box's name.
    for (QWidget* box : root->findChildren<QWidget*>()) {
        if (!qobject_cast<QComboBox*>(box) && !qobject_cast<QAbstractSpinBox*>(box))
            continue;
        for (QLineEdit* editor : box->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly))
            if (editor->accessibleName().isEmpty())
                editor->setAccessibleName(box->accessibleName());
    }
}

bool ContextMenuKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::ShiftModifier)
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || qobject_cast<QMenu*>(target) || !target->isEnabled())
        return false;
    // Where the Menu key would put it: at the text cursor of an editor, else the control's corner.
    const QPoint pos = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &menuEvent);
    return true;
}
