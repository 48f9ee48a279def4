#include "schemepanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>

SchemePanel::SchemePanel(QWidget *parent) : QWidget(parent)
{
}

QString SchemePanel::inputProblem() const
{
    return QString();
}

void SchemePanel::setScheme(Scheme)
{
}

void SchemePanel::setIdentifier(const QString &text)
{
    identifier = text;
}

void SchemePanel::showKept(const Recipe &)
{
}

void SchemePanel::follow(const QList<QWidget *> &widgets)
{
    for (QWidget *w : widgets) {
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            connect(edit, &QLineEdit::textChanged, this, &SchemePanel::changed);
            connect(edit, &QLineEdit::returnPressed, this, &SchemePanel::submitted);
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            if (button->isCheckable())
                connect(button, &QAbstractButton::toggled, this, &SchemePanel::changed);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SchemePanel::changed);
        } else if (auto *spin = qobject_cast<QSpinBox *>(w)) {
            connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this, &SchemePanel::changed);
            spin->installEventFilter(this);
        } else if (auto *doubleSpin = qobject_cast<QDoubleSpinBox *>(w)) {
            connect(doubleSpin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &SchemePanel::changed);
            doubleSpin->installEventFilter(this);
        }
    }
}

bool SchemePanel::eventFilter(QObject *object, QEvent *event)
{
    // Enter in a spin box generates, as it does in the phrase and the identifier; the typed
    // value counts first.
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (auto *box = qobject_cast<QAbstractSpinBox *>(object))
        box->interpretText();
    emit submitted();
    return true;
}
