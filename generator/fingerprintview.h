#pragma once

#include "fingerprint.h"

#include <QPainter>
#include <QWidget>

#include <memory>
#include <thread>

// Shows the fingerprint of the secret phrase as three coloured shapes, painted (no font or
// emoji needed), each colour with a pattern of its own so that it does not rest on colour
// alone. It is shown for a whole phrase only, when the window asks (a password is made, the
// phrase box is left), never while the phrase is being typed: the fingerprints of a phrase's
// pieces would give it away piece by piece. It is computed on a worker thread; meanwhile three
// grey outlines stand in, and a result for an older phrase is never shown.
class FingerprintView : public QWidget
{
    Q_OBJECT

public:
    explicit FingerprintView(QWidget *parent = nullptr);
    ~FingerprintView() override;   // waits for a computation under way, which takes a moment

    // Shows the fingerprint of this whole phrase (computed now, unless it is shown already);
    // an empty phrase shows nothing.
    void setPhrase(const QString &phrase);
    // Shows nothing: the phrase changed.
    void clear();

    bool isPending() const { return pending; }
    // The text form shown ("teal star, red leaf, teal leaf"); empty while pending or empty.
    QString text() const;

    // Paints symbols side by side in a row `side` high starting at the painter's origin; no
    // symbol paints the waiting outlines.
    static void paintSymbols(QPainter &painter, const QVector<Fingerprint::Symbol> &symbols, double side);
    // A shape as SVG path data in the box from -1 to 1, and whether it fills even-odd: what the
    // browser extension draws (scripts/shapes writes browser/shapes.js from it).
    static QString svgPath(int shape);
    static bool fillsEvenOdd(int shape);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A fingerprint was computed for the phrase now set and is shown.
    void shown();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Job;

    void startComputing();
    void computed(quint64 generation, const QVector<Fingerprint::Symbol> &symbols);
    void updateDescription();

    QString phrase;
    quint64 generation = 0;        // counts the phrases set; a result carries the one it was for
    bool pending = false;
    QVector<Fingerprint::Symbol> symbols;
    std::shared_ptr<Job> job;      // shared with the worker, which may outlive a phrase
    std::thread worker;
};
