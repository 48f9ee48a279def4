#include "phraseedit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextDocument>

#include <sodium.h>

namespace {

void wipe(QString &text)
{
    if (!text.isEmpty() && !text.isDetached())
        text = QString();   // shared: the other holder wipes its own copy
    else if (!text.isEmpty())
        sodium_memzero(text.data(), std::size_t(text.size()) * sizeof(QChar));
    text = QString();
}

}

PhraseEdit::PhraseEdit(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    connect(document(), &QTextDocument::contentsChange, this, &PhraseEdit::follow);
}

PhraseEdit::~PhraseEdit()
{
    wipe(secret);
}

QString PhraseEdit::phrase() const
{
    return concealed ? secret : toPlainText();
}

QString PhraseEdit::masked(const QString &text) const
{
    const QChar dot(style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, this));
    QString shown(text.size(), dot);
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n'))
            shown[i] = QLatin1Char('\n');
    }
    return shown;
}

void PhraseEdit::setSecret(const QString &text)
{
    wipe(secret);
    secret = text;
}

void PhraseEdit::show(const QString &text)
{
    updating = true;
    QTextEdit::setPlainText(text);
    updating = false;
}

void PhraseEdit::setConcealed(bool conceal)
{
    if (conceal == concealed)
        return;
    if (conceal) {
        QString text = toPlainText();
        setSecret(text);
        wipe(text);
        concealed = true;
        setUndoRedoEnabled(false);
        show(masked(secret));
    } else {
        concealed = false;
        show(secret);
        wipe(secret);
        setUndoRedoEnabled(true);
    }
    moveCursor(QTextCursor::End);
}

void PhraseEdit::clearPhrase()
{
    wipe(secret);
    show(QString());
    document()->clearUndoRedoStacks();
}

void PhraseEdit::follow(int position, int removed, int added)
{
    if (!concealed || updating)
        return;
    // The document holds dots for what was there and the new characters in clear: take these
    // into the secret and put dots in their place. Replacing the whole document reports one
    // character more on both sides (its last block's end), so the counts are checked against
    // the lengths.
    const QString shown = toPlainText();
    const int before = secret.size();
    const int after = shown.size();
    position = qBound(0, position, qMin(before, after));
    added = qBound(0, added, after - position);
    removed = added - (after - before);
    if (removed < 0 || removed > before - position) {
        removed = before - position;
        added = after - position;
    }
    QString inserted = shown.mid(position, added);
    QString next = secret.left(position) + inserted + secret.mid(position + removed);
    setSecret(next);
    wipe(next);
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    updating = true;
    cursor.insertText(masked(inserted));
    updating = false;
    wipe(inserted);
}

void PhraseEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (event->modifiers() & Qt::ShiftModifier)
            insertPlainText(QStringLiteral("\n"));
        else
            emit submitted();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

QMimeData *PhraseEdit::createMimeDataFromSelection() const
{
    // Dots are of no use to anyone, and a shown phrase is copied as plain text only.
    auto *data = new QMimeData;
    if (!concealed)
        data->setText(textCursor().selection().toPlainText());
    return data;
}

void PhraseEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        insertPlainText(source->text());
}
