#pragma once

#include <QString>
#include <QTextEdit>

// The secret phrase box. Concealed (the default), it shows one dot a character and keeps the
// phrase itself out of the document, its undo history and anything it could copy; line breaks
// still show, so that the shape of a phrase of several lines stays visible. Every way text gets
// in (typing, pasting, an input method, setPlainText) is followed through the document's own
// change notice. Enter submits; Shift+Enter starts a new line; Tab moves the focus.
class PhraseEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit PhraseEdit(QWidget *parent = nullptr);
    ~PhraseEdit() override;

    // The phrase as typed, line breaks as "\n", whatever the box shows.
    QString phrase() const;
    bool isConcealed() const { return concealed; }

public slots:
    void setConcealed(bool conceal);
    // Empties the box and forgets the phrase and its undo history.
    void clearPhrase();

signals:
    void submitted();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void follow(int position, int removed, int added);
    void show(const QString &text);
    QString masked(const QString &text) const;
    void setSecret(const QString &text);

    QString secret;
    bool concealed = true;
    bool updating = false;
};
