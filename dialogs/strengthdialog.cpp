#include "strengthdialog.h"
#include "ui_strengthdialog.h"

strengthdialog::strengthdialog(QWidget *parent) : notice(parent), ui(new Ui::strengthdialog)
{
    ui->setupUi(this);
}

strengthdialog::~strengthdialog()
{
    delete ui;
}

void strengthdialog::setPhraseStrength(const QString &text)
{
    ui->phraseresult->setText(text);
}

void strengthdialog::setPasswordStrength(const QString &text)
{
    ui->passwordresult->setText(text);
}

void strengthdialog::setGuessCost(const QString &text)
{
    const QString computed = QStringLiteral("Both figures are computed on this computer; nothing is sent anywhere. ");
    if (text.isEmpty()) {
        ui->explanation->setText(computed + QStringLiteral("Under the compatible scheme the phrase protects nothing: its "
                                                           "passwords fall into a small set that anyone can try, "
                                                           "whatever the phrase."));
        return;
    }
    ui->explanation->setText(computed + text + QStringLiteral(", so a phrase rated good (75 bits and more) or excellent "
                                                              "(100 and more) keeps strong passwords out of reach; a "
                                                              "poor or weak one can be found by trying likely phrases."));
}
