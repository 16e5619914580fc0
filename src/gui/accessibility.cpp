#include "gui/accessibility.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
