#include "spectrepanel.h"
#include "ui_spectrepanel.h"

SpectrePanel::SpectrePanel(QWidget *parent) : SchemePanel(parent), ui(new Ui::spectrepanel)
{
    ui->setupUi(this);
    follow(fields());
    // A purpose brings its usual template, as Spectre's own apps do; the keyword is an answer's.
    connect(ui->purposecombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SpectrePanel::purposeChosen);
    reset();
}

SpectrePanel::~SpectrePanel()
{
    delete ui;
}

Recipe SpectrePanel::recipe() const
{
    Recipe r = Recipe::defaults(Scheme::Spectre);
    r.identifier = identifier;
    r.userName = ui->usernameedit->text();
    r.templateName = Spectre::templateNames().value(ui->templatecombo->currentIndex());
    r.purpose = Spectre::Purpose(ui->purposecombo->currentIndex());
    r.context = r.purpose == Spectre::Purpose::Answer ? ui->contextedit->text() : QString();
    r.algorithm = ui->algorithmspinbox->value();
    r.counter = quint32(ui->spectrecounterspinbox->value());
    r.login = identifier == keptLoginSite ? keptLogin : QString();
    return r;
}

void SpectrePanel::setRecipe(const Recipe &r)
{
    ui->usernameedit->setText(r.userName);
    ui->purposecombo->setCurrentIndex(int(r.purpose));
    ui->templatecombo->setCurrentIndex(qMax(0, Spectre::templateNames().indexOf(r.templateName)));
    ui->contextedit->setText(r.context);
    ui->algorithmspinbox->setValue(r.algorithm);
    ui->spectrecounterspinbox->setValue(double(r.counter));
    keptLogin = r.login;
    keptLoginSite = r.identifier;
    showKeptLogin();
}

void SpectrePanel::reset()
{
    setRecipe(Recipe::defaults(Scheme::Spectre));
    purposeChosen(ui->purposecombo->currentIndex());
}

void SpectrePanel::setIdentifier(const QString &text)
{
    SchemePanel::setIdentifier(text);
    showKeptLogin();
}

void SpectrePanel::focusProblem(const Recipe &r)
{
    if (r.userName.isEmpty())
        ui->usernameedit->setFocus();
    else
        ui->templatecombo->setFocus();
}

QList<QWidget *> SpectrePanel::fields() const
{
    return {ui->usernameedit, ui->purposecombo, ui->templatecombo, ui->contextedit, ui->algorithmspinbox,
            ui->spectrecounterspinbox};
}

void SpectrePanel::purposeChosen(int index)
{
    ui->templatecombo->setCurrentIndex(Spectre::templateNames().indexOf(Spectre::defaultTemplate(Spectre::Purpose(index))));
    ui->contextedit->setEnabled(index == int(Spectre::Purpose::Answer));
}

void SpectrePanel::showKeptLogin()
{
    // A kept login name belongs to its site alone.
    const bool shown = !keptLogin.isEmpty() && identifier == keptLoginSite;
    ui->spectreloginlabel->setText(shown ? QStringLiteral("Login: %1").arg(keptLogin) : QString());
    ui->spectreloginlabel->setVisible(shown);
}
