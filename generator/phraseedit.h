#pragma once

#include <QString>
#include <QTextEdit>

// The secret phrase box. Concealed (the default), it shows one dot a character; line breaks
// still show, so that the shape of a phrase of several lines stays visible. The phrase itself
// is kept in the widget, never in the document: what is typed, pasted or committed by an
// input method goes straight into the phrase and only its dots reach the document, so neither
// the document, its undo history (off), a copy of the selection nor an assistive tool's text
// events ever hold it. Assistive tools are told it is a password field, input methods that it
// is sensitive and not to be predicted or learnt. Shown, the document holds the phrase (a CR as
// "␍", so that each character keeps one place), and the phrase is still the widget's own, as
// typed: no conversion of no-break spaces or separators. Enter submits; Shift+Enter starts a
// new line; Tab moves the focus.
//
// Nothing of the phrase leaves the box by itself: a selection of it (shown or hidden) gives the
// X11 PRIMARY selection and a drag no text, and a copy (Ctrl+C, Cut, the context menu) of the
// shown phrase is handed to the window as copied(), which puts it on the clipboard as it puts a
// password there (marked for clipboard histories, cleared after a while); a copy of the hidden
// phrase does nothing at all. The phrase takes at most Phrase::maximumBytes bytes of UTF-8, as
// quorvane-cli does: a longer insertion is refused whole, at once.
class PhraseEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit PhraseEdit(QWidget *parent = nullptr);
    ~PhraseEdit() override;

    // The phrase as typed or pasted, whatever the box shows.
    QString phrase() const { return secret; }
    bool isConcealed() const { return concealed; }

public slots:
    // Shows or hides the phrase; the phrase itself does not change.
    void setConcealed(bool conceal);
    // Empties the box and forgets the phrase.
    void clearPhrase();

signals:
    void submitted();
    // The phrase changed (not merely how it shows).
    void phraseChanged();
    // The user moved on to another field of the window with a phrase in the box.
    void left();
    // The shown phrase's selected text was copied or cut.
    void copied(const QString &text);
    // An insertion was refused: the phrase would have had `bytes` bytes of UTF-8.
    void refused(qint64 bytes);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // Puts the text in place of the selection: into the phrase, and its shown form into the
    // document. False, with nothing changed, when the phrase would grow past its limit.
    bool insertTyped(const QString &text);
    bool fits(const QString &next);
    // Copy and Cut, of the shown phrase only.
    void copySelection();
    void cutSelection();
    // Follows a change of the document made some other way (a deletion, or text set directly).
    void follow(int position, int removed, int added);
    void display(const QString &text);
    // What the document shows of a text: its dots, or, shown, the text with one place for each
    // character.
    QString shownForm(const QString &text) const;
    void setSecret(const QString &text);
    void setHints();

    QString secret;
    bool concealed = true;
    bool updating = false;
};
