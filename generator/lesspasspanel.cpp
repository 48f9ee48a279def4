#include "lesspasspanel.h"
#include "ui_lesspasspanel.h"

#include "lesspass.h"

#include <QCheckBox>
#include <QPair>

LessPassPanel::LessPassPanel(QWidget *parent) : SchemePanel(parent), ui(new Ui::lesspasspanel)
{
    ui->setupUi(this);
    follow(fields());
    reset();
}

LessPassPanel::~LessPassPanel()
{
    delete ui;
}

namespace {

// The class boxes with their letters, in LessPass's order.
QList<QPair<QCheckBox *, QChar>> classBoxes(Ui::lesspasspanel *ui)
{
    return {{ui->lesspasslowercasebox, QLatin1Char('a')},
            {ui->lesspassuppercasebox, QLatin1Char('A')},
            {ui->lesspassdigitsbox, QLatin1Char('9')},
            {ui->lesspasssymbolsbox, QLatin1Char('!')}};
}

}

Recipe LessPassPanel::recipe() const
{
    Recipe r = Recipe::defaults(Scheme::LessPass);
    r.identifier = identifier;
    r.login = ui->loginedit->text();
    r.length = ui->lesspasslengthspinbox->value();
    r.counter = quint32(ui->lesspasscounterspinbox->value());
    r.classes.clear();
    for (const auto &box : classBoxes(ui)) {
        if (box.first->isChecked())
            r.classes += box.second;
    }
    return r;
}

QString LessPassPanel::inputProblem() const
{
    for (const auto &box : classBoxes(ui)) {
        if (box.first->isChecked())
            return QString();
    }
    return QStringLiteral("Tick at least one of LessPass's character boxes (a-z, A-Z, 0-9, Symbols)");
}

void LessPassPanel::setRecipe(const Recipe &r)
{
    ui->loginedit->setText(r.login);
    ui->lesspasslengthspinbox->setValue(r.length);
    ui->lesspasscounterspinbox->setValue(double(r.counter));
    for (const auto &box : classBoxes(ui))
        box.first->setChecked(r.classes.contains(box.second));
}

void LessPassPanel::reset()
{
    setRecipe(Recipe::defaults(Scheme::LessPass));
}

void LessPassPanel::focusProblem(const Recipe &r)
{
    if (!LessPass::isValidClasses(r.classes))
        ui->lesspasslowercasebox->setFocus();
    else
        ui->lesspasslengthspinbox->setFocus();
}

QList<QWidget *> LessPassPanel::fields() const
{
    return {ui->loginedit,           ui->lesspasslengthspinbox, ui->lesspasslowercasebox, ui->lesspassuppercasebox,
            ui->lesspassdigitsbox,   ui->lesspasssymbolsbox,    ui->lesspasscounterspinbox};
}
