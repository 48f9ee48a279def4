#include "phraseedit.h"

#include "phrase.h"
#include "utf8.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

using Phrase::wipe;

// What a text control would insert for the key: the same test as the toolkit's own, less the
// tab, which moves the focus here.
bool isTyping(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    if (c.category() == QChar::Other_Format)
        return true;
    if (event->modifiers() == Qt::ControlModifier || event->modifiers() == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse
           || (c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

// What assistive tools are told of the box: an editable text that, while concealed, is a
// password field, as a line edit in password mode is. Its text is the document's: the dots.
class PhraseAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit PhraseAccessible(PhraseEdit *edit) : QAccessibleWidget(edit, QAccessible::EditableText) {}

    PhraseEdit *edit() const { return static_cast<PhraseEdit *>(widget()); }
    QString shown() const { return edit()->document()->toPlainText(); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.multiLine = true;
        s.passwordEdit = edit()->isConcealed();
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? shown() : QAccessibleWidget::text(t);
    }

    void selection(int index, int *start, int *end) const override
    {
        const QTextCursor c = edit()->textCursor();
        *start = index == 0 && c.hasSelection() ? c.selectionStart() : 0;
        *end = index == 0 && c.hasSelection() ? c.selectionEnd() : 0;
    }
    int selectionCount() const override { return edit()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        QTextCursor c = edit()->textCursor();
        c.clearSelection();
        edit()->setTextCursor(c);
    }
    void setSelection(int, int start, int end) override
    {
        QTextCursor c = edit()->textCursor();
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        edit()->setTextCursor(c);
    }
    int cursorPosition() const override { return edit()->textCursor().position(); }
    void setCursorPosition(int position) override
    {
        QTextCursor c = edit()->textCursor();
        c.setPosition(position);
        edit()->setTextCursor(c);
    }
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return shown().size(); }
    QRect characterRect(int offset) const override
    {
        QTextCursor c(edit()->document());
        c.setPosition(qBound(0, offset, characterCount()));
        const QRect r = edit()->cursorRect(c);
        return QRect(edit()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return edit()->cursorForPosition(edit()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int start, int) override { setCursorPosition(start); }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return QString();
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1String("PhraseEdit") && object && object->isWidgetType())
        return new PhraseAccessible(static_cast<PhraseEdit *>(object));
    return nullptr;
}

}

PhraseEdit::PhraseEdit(QWidget *parent) : QTextEdit(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleFor), true);
    Q_UNUSED(factoryInstalled);
    setAcceptRichText(false);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
    setHints();
    connect(document(), &QTextDocument::contentsChange, this, &PhraseEdit::follow);
}

PhraseEdit::~PhraseEdit()
{
    wipe(secret);
}

void PhraseEdit::setHints()
{
    Qt::InputMethodHints hints = Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;
    if (concealed)
        hints |= Qt::ImhHiddenText;
    setInputMethodHints(hints);
}

QString PhraseEdit::shownForm(const QString &text) const
{
    const QChar dot(style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, this));
    QString shown(text);
    for (QChar &c : shown) {
        if (c == QLatin1Char('\n'))
            continue;
        if (concealed)
            c = dot;
        else if (c == QLatin1Char('\r'))
            c = QChar(0x240D);   // the document would join a CR LF into one line break
        else if (c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1)
            c = QChar(QChar::ReplacementCharacter);   // the document's own frame marks
    }
    return shown;
}

void PhraseEdit::setSecret(const QString &text)
{
    wipe(secret);
    secret = text;
}

void PhraseEdit::display(const QString &text)
{
    updating = true;
    QTextEdit::setPlainText(text);
    updating = false;
}

void PhraseEdit::setConcealed(bool conceal)
{
    if (conceal == concealed)
        return;
    concealed = conceal;
    QString shown = shownForm(secret);
    display(shown);
    wipe(shown);
    setHints();
    moveCursor(QTextCursor::End);
    QAccessible::State changed;
    changed.passwordEdit = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void PhraseEdit::clearPhrase()
{
    const bool had = !secret.isEmpty();
    wipe(secret);
    display(QString());
    document()->clearUndoRedoStacks();
    if (had)
        emit phraseChanged();
}

bool PhraseEdit::fits(const QString &next)
{
    const qint64 bytes = Utf8::encodedSize(next);
    if (bytes <= Phrase::maximumBytes)
        return true;
    emit refused(bytes);
    return false;
}

bool PhraseEdit::insertTyped(const QString &text)
{
    QTextCursor cursor = textCursor();
    const int start = qBound(0, cursor.selectionStart(), secret.size());
    const int end = qBound(start, cursor.selectionEnd(), secret.size());
    if (text.isEmpty() && start == end)
        return true;
    // Counted before anything is laid out: a paste of a million characters is refused at once.
    const qint64 bytes = Utf8::encodedSize(secret) - Utf8::encodedSize(QStringView(secret).mid(start, end - start))
                         + Utf8::encodedSize(text);
    if (bytes > Phrase::maximumBytes) {
        emit refused(bytes);
        return false;
    }
    QString next = secret.left(start) + text + secret.mid(end);
    setSecret(next);
    wipe(next);
    QString shown = shownForm(text);
    updating = true;
    cursor.insertText(shown);
    updating = false;
    wipe(shown);
    setTextCursor(cursor);
    ensureCursorVisible();
    emit phraseChanged();
    return true;
}

void PhraseEdit::follow(int position, int removed, int added)
{
    if (updating)
        return;
    // A change that did not come through insertTyped: a deletion, or text set on the document
    // directly. Replacing the whole document reports one character more on both sides (its last
    // block's end), so the counts are checked against the lengths.
    const int before = secret.size();
    const int after = document()->characterCount() - 1;
    position = qBound(0, position, qMin(before, after));
    added = qBound(0, added, after - position);
    removed = added - (after - before);
    if (removed < 0 || removed > before - position) {
        removed = before - position;
        added = after - position;
    }
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    // The document's own text: a block's end is a line break.
    QString inserted = cursor.selectedText().replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    if (removed == added) {
        // A change of format only (an input method's composing text is laid out so): the same
        // characters as before.
        QString before = shownForm(secret.mid(position, removed));
        const bool same = inserted == before;
        wipe(before);
        if (same) {
            wipe(inserted);
            return;
        }
    }
    QString next = secret.left(position) + inserted + secret.mid(position + removed);
    if (!fits(next)) {
        // Too long: the document goes back to what the phrase is.
        wipe(next);
        wipe(inserted);
        QString shown = shownForm(secret);
        display(shown);
        wipe(shown);
        moveCursor(QTextCursor::End);
        return;
    }
    setSecret(next);
    wipe(next);
    if (concealed && added > 0) {
        QString dots = shownForm(inserted);
        updating = true;
        cursor.insertText(dots);
        updating = false;
        wipe(dots);
    }
    wipe(inserted);
    emit phraseChanged();
}

void PhraseEdit::keyPressEvent(QKeyEvent *event)
{
    // The box's own copy would put the selection on the clipboard as plain text, or, hidden,
    // empty the clipboard.
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        cutSelection();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (event->modifiers() & Qt::ShiftModifier)
            insertTyped(QStringLiteral("\n"));
        else
            emit submitted();
        return;
    }
    if (isTyping(event)) {
        insertTyped(event->text());
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void PhraseEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Only what the input method commits becomes phrase. Text still being composed is shown
    // only while the phrase is.
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        if (event->replacementLength() > 0) {
            QTextCursor cursor = textCursor();
            const int from = qBound(0, cursor.position() + event->replacementStart(), secret.size());
            cursor.setPosition(from);
            cursor.setPosition(qMin(from + event->replacementLength(), secret.size()), QTextCursor::KeepAnchor);
            setTextCursor(cursor);
        }
        insertTyped(event->commitString());
    }
    QInputMethodEvent composing(concealed ? QString() : event->preeditString(),
                                concealed ? QList<QInputMethodEvent::Attribute>() : event->attributes());
    QTextEdit::inputMethodEvent(&composing);
    event->accept();
}

QMimeData *PhraseEdit::createMimeDataFromSelection() const
{
    // Asked for by the X11 PRIMARY selection, which the toolkit sets from every selection, and
    // by a drag: neither is given any of the phrase, shown or hidden. Copies go through
    // copySelection.
    return new QMimeData;
}

void PhraseEdit::copySelection()
{
    const QTextCursor cursor = textCursor();
    if (concealed || !cursor.hasSelection())
        return;   // the clipboard keeps what it held
    QString selected = secret.mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    emit copied(selected);
    wipe(selected);
}

void PhraseEdit::cutSelection()
{
    if (concealed || !textCursor().hasSelection())
        return;
    copySelection();
    insertTyped(QString());
}

void PhraseEdit::focusOutEvent(QFocusEvent *event)
{
    QTextEdit::focusOutEvent(event);
    // Only a move within the window: a phrase left half typed for another program is still
    // being typed.
    const Qt::FocusReason reason = event->reason();
    if (!secret.isEmpty() && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
                              || reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason))
        emit left();
}

void PhraseEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    const bool selected = textCursor().hasSelection() && !concealed;
    for (QAction *action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-copy") || action->objectName() == QLatin1String("edit-cut")) {
            const bool cut = action->objectName() == QLatin1String("edit-cut");
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, cut ? &PhraseEdit::cutSelection : &PhraseEdit::copySelection);
            action->setEnabled(selected);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PhraseEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        insertTyped(source->text());
}
