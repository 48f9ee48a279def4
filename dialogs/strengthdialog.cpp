#include "strengthdialog.h"
#include "ui_strengthdialog.h"

#include "phrasestrength.h"

#include <QFormLayout>

strengthdialog::strengthdialog(QWidget *parent) : notice(parent), ui(new Ui::strengthdialog)
{
    ui->setupUi(this);
    // One width, about 80 characters of the font at any scale, and as tall as its texts need at
    // that width: no gap between them.
    setFixedWidth(fontMetrics().averageCharWidth() * 80);
    fitHeight();
}

void strengthdialog::fitHeight()
{
    // A changed text leaves the inner layout's height for a width as it was: asked again.
    ui->formLayout->invalidate();
    layout()->invalidate();
    setFixedHeight(heightForWidth(width()));
}

strengthdialog::~strengthdialog()
{
    delete ui;
}

void strengthdialog::setPhraseStrength(const QString &text)
{
    ui->phraseresult->setText(text);
    fitHeight();
}

void strengthdialog::setPasswordStrength(const QString &text)
{
    ui->passwordresult->setText(text);
    fitHeight();
}

void strengthdialog::setGuessCost(const QString &text)
{
    const QString computed = QStringLiteral("Both figures are computed on this computer; nothing is sent anywhere. ");
    if (text.isEmpty()) {
        ui->explanation->setText(computed + QStringLiteral("Under the compatible scheme the phrase protects nothing: its "
                                                           "passwords fall into a small set that anyone can try, "
                                                           "whatever the phrase."));
    } else {
        ui->explanation->setText(computed + text + QStringLiteral(", so a phrase rated good (75 bits and more) or excellent "
                                                                  "(100 and more) keeps strong passwords out of reach; a "
                                                                  "poor or weak one can be found by trying likely phrases."));
    }
    fitHeight();
}

void strengthdialog::showFor(const Recipe &recipe, const QString &phrase, const QString &entropy)
{
    strengthdialog dialog;
    if (recipe.scheme == Scheme::Compatible)
        dialog.setPhraseStrength(QStringLiteral("does not protect compatible passwords"));
    else if (phrase.isEmpty())
        dialog.setPhraseStrength(QStringLiteral("no phrase typed"));
    else
        dialog.setPhraseStrength(PhraseStrength::text(PhraseStrength::of(phrase)));
    if (entropy.isEmpty())
        dialog.setPasswordStrength(QStringLiteral("no password generated yet"));
    else
        dialog.setPasswordStrength(QStringLiteral("%1 bits, %2. %3").arg(entropy, recipe.rating(), recipe.entropyNote()));
    dialog.setGuessCost(recipe.guessCost());
    dialog.run();
}
