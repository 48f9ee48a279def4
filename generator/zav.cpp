#include "zav.h"
#include "ui_zav.h"

#include "clipboard.h"
#include "lesspass.h"
#include "deletedialog.h"
#include "listdialog.h"
#include "notices.h"
#include "phrasestrength.h"
#include "profilefile.h"
#include "profilestate.h"
#include "siteimport.h"
#include "strengthdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QUrl>

#include <thread>

namespace {

const char makerSite[] = "https://www.quorvane.org/";

void openPage(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

}

// Keeps a word-wrapped label as tall as its lines need at its width: the window's minimum
// height then grows with it instead of cutting its last line off.
class WrapWatch : public QObject
{
public:
    explicit WrapWatch(QLabel *label) : QObject(label), label(label) { label->installEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            label->setMinimumHeight(label->heightForWidth(label->width()));
        return false;
    }

private:
    QLabel *label;
};

// Tells when the user last used the program: every key and mouse input restarts the timer.
class InputWatch : public QObject
{
public:
    explicit InputWatch(QTimer *idle) : idle(idle) { qApp->installEventFilter(this); }
    ~InputWatch() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            idle->start();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QTimer *idle;
};

// Enter in a spin box generates, as it does in the phrase and the identifier.
class KeyWatch : public QObject
{
public:
    KeyWatch(QObject *parent, std::function<void()> onEnter) : QObject(parent), onEnter(std::move(onEnter)) {}

    void watch(QAbstractSpinBox *box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        static_cast<QAbstractSpinBox *>(object)->interpretText();
        onEnter();
        return true;
    }

private:
    std::function<void()> onEnter;
};

bool Write()
{
    qDebug() << pword_identifier;
    qDebug() << QString::number(pword_length, 10);
    return ProfileFile::append(profile_file_path,
                               ProfileFile::line(pword_identifier, pword_length, pword_scheme, pword_rule, pword_counter))
        == ProfileFile::AppendResult::Appended;
}

ProfileFile::ReadStatus Read_save()
{
    const ProfileFile::ReadStatus status = readProfileValues();
    if (status != ProfileFile::ReadStatus::Read)
        return status;
    qDebug() << "Read loop just completed and list qstring created";
    qDebug() << "value of list var immediately after loop";
    qDebug() << profile_list_text;
    return status;
}

zav::zav(QWidget *parent, SecretTimings timings)
    : QMainWindow(parent, Qt::WindowFlags()), ui(new Ui::zav), clipboard(new Clipboard(timings.clipboardClearMs, this))
{
    ui->setupUi(this);
    new WrapWatch(ui->schemewarning);
    // The phrase box keeps room for three lines, however small the window.
    const QMargins inner = ui->inputtext->contentsMargins();
    ui->inputtext->setMinimumHeight(3 * ui->inputtext->fontMetrics().lineSpacing()
                                    + int(2 * ui->inputtext->document()->documentMargin()) + inner.top() + inner.bottom());
    connect(clipboard, &Clipboard::status, this, [this](const QString &text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    idle.setSingleShot(true);
    idle.setInterval(timings.idleClearMs);
    connect(&idle, &QTimer::timeout, this, &zav::clearIdleSecrets);
    idle.start();
    inputWatch.reset(new InputWatch(&idle));

    // The keyboard: Enter generates from the phrase, the identifier and the spin boxes; the
    // menu actions carry their own shortcuts.
    ui->passwordoutput->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    clipboard->watch(ui->passwordoutput);
    connect(ui->inputtext, &PhraseEdit::submitted, ui->generatepass, &QPushButton::click);
    enterWatch = new KeyWatch(this, [this] { ui->generatepass->click(); });
    enterWatch->watch(ui->plengthspinbox);
    enterWatch->watch(ui->counterspinbox);
    auto *clearKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+L")), this);
    connect(clearKey, &QShortcut::activated, ui->clear_parameters, &QPushButton::click);

    // A password stays only beside the inputs it was made from.
    connect(ui->plengthspinbox, QOverload<int>::of(&QSpinBox::valueChanged), this, &zav::clearOutput);
    connect(ui->counterspinbox, QOverload<int>::of(&QSpinBox::valueChanged), this, &zav::clearOutput);
    connect(ui->schemecombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &zav::clearOutput);
    connect(ui->rulecombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &zav::clearOutput);
    for (QCheckBox *box : {ui->lowercasebox, ui->uppercasebox, ui->digitsbox, ui->symbolsbox})
        connect(box, &QCheckBox::toggled, this, &zav::clearOutput);
    connect(ui->symbolsedit, &QLineEdit::textChanged, this, &zav::clearOutput);
    connect(ui->pword_identifier_le, &QLineEdit::textChanged, this, &zav::clearOutput);
    connect(ui->pword_identifier_le, &QLineEdit::textChanged, this, &zav::offerSiteRule);
    // A stored login name belongs to the retrieved site alone.
    connect(ui->pword_identifier_le, &QLineEdit::textEdited, this, [this] { keepSpectreLogin(QString()); });
    connect(ui->ruletextedit, &QLineEdit::textChanged, this, &zav::clearOutput);
    connect(ui->ruletextedit, &QLineEdit::textChanged, this, &zav::fitLengthToRule);
    connect(ui->ruletextedit, &QLineEdit::returnPressed, ui->generatepass, &QPushButton::click);
    for (QLineEdit *edit : {ui->loginedit, ui->usernameedit, ui->contextedit})
        connect(edit, &QLineEdit::textChanged, this, &zav::clearOutput);
    for (QComboBox *box : {ui->templatecombo, ui->purposecombo})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &zav::clearOutput);
    connect(ui->algorithmspinbox, QOverload<int>::of(&QSpinBox::valueChanged), this, &zav::clearOutput);
    connect(ui->spectrecounterspinbox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &zav::clearOutput);
    // A purpose brings its usual template, as Spectre's own apps do; the keyword is an answer's.
    connect(ui->purposecombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        ui->templatecombo->setCurrentIndex(
            Spectre::templateNames().indexOf(Spectre::defaultTemplate(Spectre::Purpose(index))));
        ui->contextedit->setEnabled(index == int(Spectre::Purpose::Answer));
    });
    ui->templatecombo->setCurrentIndex(Spectre::templateNames().indexOf(QStringLiteral("long")));
    ui->contextedit->setEnabled(false);
    enterWatch->watch(ui->algorithmspinbox);
    enterWatch->watch(ui->spectrecounterspinbox);
    ui->phrasebreakhint->hide();
    keepSpectreLogin(QString());
    ui->copybutton->setEnabled(false);
    showPhraseStrength();
    ui->inputtext->setFocus();
    on_schemecombo_currentIndexChanged(ui->schemecombo->currentIndex());
    on_rulecombo_currentIndexChanged(ui->rulecombo->currentIndex());
    on_symbolsbox_toggled(ui->symbolsbox->isChecked());
}

zav::~zav()
{
    // Leaves the clipboard clean if it still holds our password, while the window is whole.
    disconnect(clipboard, nullptr, this, nullptr);
    delete clipboard;
    delete ui;
}

void zav::clearSecrets()
{
    // The widgets' undo history holds what they held: it goes too.
    ui->inputtext->clearPhrase();
    clearOutput();
    ui->fingerprintview->clear();
}

void zav::clearOutput()
{
    ui->passwordoutput->clear();
    ui->entropyout->clear();
    ui->copybutton->setEnabled(false);
}

void zav::showPhraseStrength()
{
    if (selectedScheme() == Scheme::Compatible) {
        ui->phrasestrength->setText(QStringLiteral("Phrase strength: no protection for compatible passwords, whatever the phrase"));
        return;
    }
    const QString phrase = ui->inputtext->phrase();
    ui->phrasestrength->setText(phrase.isEmpty() ? QStringLiteral("Phrase strength: none yet")
                                                 : QStringLiteral("Phrase strength: ")
                                                       + PhraseStrength::text(PhraseStrength::of(phrase)));
}

void zav::clearIdleSecrets()
{
    if (ui->inputtext->document()->isEmpty() && ui->passwordoutput->text().isEmpty())
        return;
    clearSecrets();
    clipboard->clearIfOurs();
    statusBar()->showMessage(QStringLiteral("Phrase and password cleared after %1 minutes without use")
                                 .arg(qMax(1, idle.interval() / 60000)));
}

namespace {

// The rule of each preset of rulecombo, in its order; "Custom" and "Site rules" have none.
const char *const presetRules[] = {"base64", "aA9!", "aA9", "9"};
constexpr int customIndex = 4;
constexpr int siteRulesIndex = 5;

}

namespace {

// The schemes in the order of schemecombo's items.
const Scheme schemeOrder[] = {Scheme::Strong, Scheme::Compatible, Scheme::LessPass, Scheme::Spectre};

}

Scheme zav::selectedScheme() const
{
    const int index = ui->schemecombo->currentIndex();
    return index >= 0 && index < 4 ? schemeOrder[index] : Scheme::Strong;
}

void zav::selectScheme(Scheme scheme)
{
    for (int i = 0; i < 4; ++i) {
        if (schemeOrder[i] == scheme)
            ui->schemecombo->setCurrentIndex(i);
    }
}

PeerRecipe zav::selectedPeer() const
{
    PeerRecipe r;
    r.scheme = selectedScheme();
    r.site = ui->pword_identifier_le->text();
    if (r.scheme == Scheme::LessPass) {
        r.login = ui->loginedit->text();
        r.length = ui->plengthspinbox->value();
        r.counter = quint32(ui->counterspinbox->value());
        r.classes.clear();
        const QList<QPair<QCheckBox *, char>> boxes{{ui->lowercasebox, 'a'}, {ui->uppercasebox, 'A'},
                                                     {ui->digitsbox, '9'}, {ui->symbolsbox, '!'}};
        for (const auto &box : boxes) {
            if (box.first->isChecked())
                r.classes += QLatin1Char(box.second);
        }
    } else {
        r.userName = ui->usernameedit->text();
        r.templateName = Spectre::templateNames().value(ui->templatecombo->currentIndex());
        r.purpose = Spectre::Purpose(ui->purposecombo->currentIndex());
        r.context = r.purpose == Spectre::Purpose::Answer ? ui->contextedit->text() : QString();
        r.algorithm = ui->algorithmspinbox->value();
        r.counter = quint32(ui->spectrecounterspinbox->value());
        r.login = keptSpectreLogin;
    }
    return r;
}

void zav::selectPeer(const PeerRecipe &r)
{
    if (r.scheme == Scheme::LessPass) {
        ui->loginedit->setText(r.login);
        ui->plengthspinbox->setValue(r.length);
        ui->counterspinbox->setValue(int(qMin<quint32>(r.counter, quint32(Counter::maximum))));
        ui->lowercasebox->setChecked(r.classes.contains(QLatin1Char('a')));
        ui->uppercasebox->setChecked(r.classes.contains(QLatin1Char('A')));
        ui->digitsbox->setChecked(r.classes.contains(QLatin1Char('9')));
        ui->symbolsbox->setChecked(r.classes.contains(QLatin1Char('!')));
    } else {
        ui->usernameedit->setText(r.userName);
        ui->purposecombo->setCurrentIndex(int(r.purpose));
        ui->templatecombo->setCurrentIndex(qMax(0, Spectre::templateNames().indexOf(r.templateName)));
        ui->contextedit->setText(r.context);
        ui->algorithmspinbox->setValue(r.algorithm);
        ui->spectrecounterspinbox->setValue(double(r.counter));
        keepSpectreLogin(r.login);
    }
}

void zav::keepSpectreLogin(const QString &login)
{
    keptSpectreLogin = login;
    ui->spectreloginlabel->setText(login.isEmpty() ? QString() : QStringLiteral("Login: %1").arg(login));
    ui->spectreloginlabel->setVisible(!login.isEmpty());
}

void zav::on_schemecombo_currentIndexChanged(int)
{
    const Scheme scheme = selectedScheme();
    const bool compatible = scheme == Scheme::Compatible;
    const bool lesspass = scheme == Scheme::LessPass;
    const bool spectre = scheme == Scheme::Spectre;
    ui->schemewarning->setVisible(compatible);
    // Only the chosen scheme's fields show: LessPass has the class boxes, a login and its
    // counter; Spectre's template fixes the length.
    ui->lesspasspanel->setVisible(lesspass);
    ui->spectrepanel->setVisible(spectre);
    ui->rulelabel->setVisible(!lesspass && !spectre);
    ui->rulecombo->setVisible(!lesspass && !spectre);
    ui->versionlabel->setVisible(!spectre);
    ui->counterspinbox->setVisible(!spectre);
    ui->pwlength->setVisible(!spectre);
    ui->plengthspinbox->setVisible(!spectre);
    ui->customrule->setVisible(lesspass || (!spectre && ui->rulecombo->currentIndex() == customIndex));
    ui->symbolsedit->setVisible(!lesspass);
    ui->ruletextedit->setVisible(!lesspass && !spectre && ui->rulecombo->currentIndex() == siteRulesIndex);
    fitLengthToRule();
    // The compatible scheme has neither rule nor version.
    for (QWidget *w : {static_cast<QWidget *>(ui->rulelabel), static_cast<QWidget *>(ui->rulecombo),
                       static_cast<QWidget *>(ui->versionlabel), static_cast<QWidget *>(ui->counterspinbox),
                       static_cast<QWidget *>(ui->customrule), static_cast<QWidget *>(ui->ruletextedit)})
        w->setEnabled(!compatible);
    offerSiteRule();
    ui->entropyout->setToolTip(PeerSchemes::isPeer(scheme) ? PeerSchemes::entropyNote(scheme)
                                                           : Derivation::entropyNote(scheme));
    showPhraseStrength();
}


void zav::on_rulecombo_currentIndexChanged(int index)
{
    const bool peer = PeerSchemes::isPeer(selectedScheme());
    ui->customrule->setVisible(index == customIndex || selectedScheme() == Scheme::LessPass);
    ui->ruletextedit->setVisible(index == siteRulesIndex && !peer);
    fitLengthToRule();
    offerSiteRule();
}

void zav::fitLengthToRule()
{
    int low = Derivation::minimumLength;
    int high = Derivation::maximumLength;
    Rule rule;
    if (selectedScheme() == Scheme::LessPass) {
        low = LessPass::minimumLength;
        high = LessPass::maximumLength;
    } else if (selectedScheme() == Scheme::Strong && ui->rulecombo->currentIndex() == siteRulesIndex
               && Rule::parse(ui->ruletextedit->text(), &rule) && rule.minimumLength() <= rule.maximumLength()) {
        low = rule.minimumLength();
        high = rule.maximumLength();
    }
    // A wrapping spin box would carry a length above the new range round to its lowest end.
    ui->plengthspinbox->setWrapping(false);
    ui->plengthspinbox->setRange(low, high);
    ui->plengthspinbox->setWrapping(true);
}

void zav::offerSiteRule()
{
    // Never chosen by itself: a password already in use for this identifier must not change.
    const QString identifier = ui->pword_identifier_le->text();
    offeredSite = SiteList::Match();
    if (selectedScheme() == Scheme::Strong && ui->rulecombo->currentIndex() == 0 && !identifier.trimmed().isEmpty())
        offeredSite = SiteList::installed().match(identifier);
    ui->siterulebutton->setVisible(!offeredSite.isNull());
    if (offeredSite.isNull())
        return;
    Rule rule;
    const QString shown = Rule::parse(offeredSite.rule, &rule) ? rule.text() : offeredSite.rule;
    ui->siterulebutton->setText(QStringLiteral("Use the password rules of %1").arg(offeredSite.domain));
    ui->siterulebutton->setToolTip(QStringLiteral("%1\nFrom %2").arg(shown, QDir::toNativeSeparators(offeredSite.source)));
}

void zav::on_siterulebutton_clicked()
{
    Rule rule;
    QString problem;
    if (offeredSite.isNull())
        return;
    if (!Rule::parse(offeredSite.rule, &rule, &problem)) {
        showRuleProblem(QStringLiteral("the password rules of %1 cannot be read: %2").arg(offeredSite.domain, problem));
        return;
    }
    ui->ruletextedit->setText(rule.text());
    ui->rulecombo->setCurrentIndex(siteRulesIndex);
    fitLengthToRule();
    ui->ruletextedit->setFocus();
}

bool zav::ruleAndLengthOrNotice(Rule *rule, int length)
{
    if (!ruleOrNotice(rule))
        return false;
    if (rule->isSiteRule() && ui->rulecombo->currentIndex() == siteRulesIndex)
        ui->ruletextedit->setText(rule->text());   // shown as it is kept
    const QString problem = rule->lengthProblem(length);
    if (problem.isEmpty())
        return true;
    showRuleProblem(problem);
    return false;
}

void zav::on_inputtext_textChanged()
{
    const QString phrase = ui->inputtext->phrase();
    ui->fingerprintview->setPhrase(phrase);
    ui->phrasebreakhint->setVisible(phrase.contains(QLatin1Char('\n')));
    showPhraseStrength();
    clearOutput();
}

void zav::on_showphrasebutton_toggled(bool checked)
{
    ui->inputtext->setConcealed(!checked);
    ui->inputtext->setFocus();
}

void zav::on_pword_identifier_le_returnPressed()
{
    ui->generatepass->click();
}

void zav::on_copybutton_clicked()
{
    if (!ui->passwordoutput->text().isEmpty())
        clipboard->setPassword(ui->passwordoutput->text());
}

void zav::on_actionQuit_triggered()
{
    close();
}

void zav::focusRuleField()
{
    if (ui->rulecombo->currentIndex() == siteRulesIndex)
        ui->ruletextedit->setFocus();
    else if (ui->rulecombo->currentIndex() == customIndex && ui->symbolsbox->isChecked())
        ui->symbolsedit->setFocus();
    else
        ui->rulecombo->setFocus();
}

void zav::on_symbolsbox_toggled(bool checked)
{
    ui->symbolsedit->setEnabled(checked);
}

bool zav::selectedRule(Rule *rule, QString *problem) const
{
    if (selectedScheme() == Scheme::Compatible) {
        *rule = Rule();
        return true;
    }
    const int index = ui->rulecombo->currentIndex();
    if (index == siteRulesIndex && ui->ruletextedit->text().trimmed().isEmpty()) {
        *problem = QStringLiteral("no site rules are given: type or paste the site's password rules");
        return false;
    }
    if (index == siteRulesIndex)
        return Rule::parse(ui->ruletextedit->text(), rule, problem);
    const QString text = index >= 0 && index < customIndex
        ? QString::fromLatin1(presetRules[index])
        : Rule::compose(ui->lowercasebox->isChecked(), ui->uppercasebox->isChecked(), ui->digitsbox->isChecked(),
                        ui->symbolsbox->isChecked(), ui->symbolsedit->text());
    return Rule::parse(text, rule, problem);
}

void zav::selectRule(const Rule &rule)
{
    if (rule.isSiteRule()) {
        ui->ruletextedit->setText(rule.text());
        ui->rulecombo->setCurrentIndex(siteRulesIndex);
        fitLengthToRule();
        return;
    }
    for (int i = 0; i < customIndex; ++i) {
        if (rule.text() == QLatin1String(presetRules[i])) {
            ui->rulecombo->setCurrentIndex(i);
            return;
        }
    }
    ui->lowercasebox->setChecked(rule.has('a'));
    ui->uppercasebox->setChecked(rule.has('A'));
    ui->digitsbox->setChecked(rule.has('9'));
    ui->symbolsbox->setChecked(rule.has('!'));
    ui->symbolsedit->setText(rule.symbols() == Rule::allSymbols() ? QString() : rule.symbols());
    ui->rulecombo->setCurrentIndex(customIndex);
}

int zav::selectedCounter() const
{
    return selectedScheme() == Scheme::Compatible ? Counter::first : ui->counterspinbox->value();
}

bool zav::ruleOrNotice(Rule *rule) const
{
    QString problem;
    if (selectedRule(rule, &problem))
        return true;
    showRuleProblem(problem);
    return false;
}

void zav::showRuleProblem(const QString &problem)
{
    badrule notice;
    notice.setProblem(problem.left(1).toUpper() + problem.mid(1));
    notice.run();
}

QString zav::deriveWhileBusy(const std::function<QString()> &derive)
{
    // A disabled window takes no input at all: no click, key, shortcut or screen reader's press
    // reaches a button while the password is being made.
    const QPointer<QWidget> focus = focusWidget();
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    QString password;
    std::thread worker([&] {
        password = derive();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    if (focus)
        focus->setFocus();
    return password;
}

void zav::generatePeer(const PeerRecipe &recipe, const QString &phrase)
{
    const QString problem = PeerSchemes::problem(recipe);
    if (!problem.isEmpty()) {
        showRuleProblem(problem);
        if (recipe.scheme == Scheme::Spectre && recipe.userName.isEmpty())
            ui->usernameedit->setFocus();
        return;
    }
    ui->entropyout->setText(PeerSchemes::entropyText(recipe));
    if (phrase.isEmpty()) {
        showNotice<emptysecret>();
        qDebug() << "Issue message that Secret Phrase is empty";
        ui->inputtext->setFocus();
        return;
    }
    pword_identifier = recipe.site;
    pword_scheme = recipe.scheme;
    showDerived(deriveWhileBusy([&] { return PeerSchemes::derive(recipe, phrase); }));
}

void zav::showDerived(const QString &password)
{
    if (password.isNull()) {
        showNotice<notderived>();
        return;
    }
    ui->passwordoutput->setText(password);
    ui->copybutton->setEnabled(true);
    clipboard->setPassword(password);
}

void zav::on_generatepass_clicked()
{
    if (PeerSchemes::isPeer(selectedScheme())) {
        generatePeer(selectedPeer(), ui->inputtext->phrase());
        return;
    }
    pword_length = ui->plengthspinbox->value();
    Rule rule;
    if (!ruleAndLengthOrNotice(&rule, pword_length)) {
        focusRuleField();
        return;
    }
    ui->entropyout->setText(Derivation::entropyText(selectedScheme(), rule, pword_length));

    const QString phrase = ui->inputtext->phrase();
    if (phrase.isEmpty()) {
        showNotice<emptysecret>();
        qDebug() << "Issue message that Secret Phrase is empty";
        ui->inputtext->setFocus();
        return;
    }

    const QString identifier = ui->pword_identifier_le->text();
    pword_identifier = identifier;
    if (ProfileFile::containsBar(identifier)) {
        showNotice<inputmsg1>();
        ui->pword_identifier_le->setFocus();
        return;
    }

    pword_scheme = selectedScheme();
    const Scheme scheme = pword_scheme;
    const int counter = selectedCounter();
    showDerived(deriveWhileBusy(
        [&] { return Derivation::derive(scheme, phrase, identifier, pword_length, rule, counter); }));
}

void zav::on_actionCalculate_Password_Strength_triggered()
{
    // Computed here: no password or phrase is ever typed into a web page.
    strengthdialog dialog;
    const QString phrase = ui->inputtext->phrase();
    if (selectedScheme() == Scheme::Compatible)
        dialog.setPhraseStrength(QStringLiteral("does not protect compatible passwords"));
    else if (phrase.isEmpty())
        dialog.setPhraseStrength(QStringLiteral("no phrase typed"));
    else
        dialog.setPhraseStrength(PhraseStrength::text(PhraseStrength::of(phrase)));
    if (ui->passwordoutput->text().isEmpty())
        dialog.setPasswordStrength(QStringLiteral("no password generated yet"));
    else
        dialog.setPasswordStrength(QStringLiteral("%1 bits. %2").arg(ui->entropyout->text(),
                                                                      Derivation::entropyNote(selectedScheme())));
    dialog.run();
}

void zav::on_actionHelp_Information_triggered()
{
    openPage(QString::fromLatin1(makerSite) + QStringLiteral("usage.php"));
}

void zav::on_actionCheck_For_Updates_triggered()
{
    openPage(QString::fromLatin1(makerSite) + QStringLiteral("updates.php"));
}

void zav::on_actionLearn_More_triggered()
{
    openPage(QString::fromLatin1(makerSite) + QStringLiteral("index.php"));
}

void zav::on_actionAbout_triggered()
{
    showNotice<aboutdialog>();
}

void zav::savePeer()
{
    const PeerRecipe recipe = selectedPeer();
    pword_identifier = recipe.site;
    pword_scheme = recipe.scheme;
    QString problem = PeerSchemes::problem(recipe);
    if (problem.isEmpty())
        problem = ProfileFile::storableProblem(recipe);
    if (!ProfileFile::isValidIdentifier(recipe.site)) {
        showNotice<empty>();
        ui->pword_identifier_le->setFocus();
        return;
    }
    if (!problem.isEmpty()) {
        showRuleProblem(problem);
        return;
    }
    switch (ProfileFile::save(profile_file_path, recipe)) {
    case ProfileFile::SaveResult::Saved: showNotice<addprodialog>(); break;
    case ProfileFile::SaveResult::AlreadySaved: showNotice<savedalready>(); break;
    case ProfileFile::SaveResult::UnstorableIdentifier: showNotice<notstorable>(); break;
    case ProfileFile::SaveResult::Busy: showNotice<filebusy>(); break;
    case ProfileFile::SaveResult::Unusable: showNotice<notread>(); break;
    default: showNotice<notsaved>(); break;
    }
}

void zav::on_actionSave_triggered()
{
    if (PeerSchemes::isPeer(selectedScheme())) {
        savePeer();
        return;
    }
    pword_length = ui->plengthspinbox->value();
    pword_identifier = ui->pword_identifier_le->text();
    pword_scheme = selectedScheme();
    pword_counter = selectedCounter();
    qDebug() << "*************  beginning of Save module ***********************";
    // The lock is held from the read to the append, so that no other window or quorvane-cli
    // writes between the duplicate test and the new line, and let go before any notice shows:
    // a notice left open must not keep other writers out.
    enum { Saved, Busy, NotLocked, Invalid, Unstorable, BadRule, Unreadable, Duplicate, NotWritten } outcome;
    QString ruleProblem;
    {
        const ProfileFile::Lock lock(profile_file_path);
        if (lock.state() != ProfileFile::Lock::Held) {
            outcome = lock.state() == ProfileFile::Lock::Busy ? Busy : NotLocked;
            qDebug() << "the profile file could not be locked, nothing was saved";
        } else {
            profile_list_text = QString("");
            const ProfileFile::ReadStatus status = Read_save();
            if (!ProfileFile::isValidIdentifier(pword_identifier)) {
                outcome = Invalid;
                qDebug() << "the Password Identifier is empty or contains the | character please enter valid value";
            } else if (!ProfileFile::isStorableIdentifier(pword_identifier)) {
                outcome = Unstorable;
                qDebug() << "the Password Identifier holds a character that the profile file cannot keep";
            } else if (!selectedRule(&pword_rule, &ruleProblem)
                       || !(ruleProblem = pword_rule.lengthProblem(pword_length)).isEmpty()) {
                outcome = BadRule;
            } else if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
                outcome = Unreadable;
                qDebug() << "the profile file cannot be read, nothing was saved";
            } else if (profile_lines.contains(
                           ProfileFile::line(pword_identifier, pword_length, pword_scheme, pword_rule, pword_counter))) {
                outcome = Duplicate;
                qDebug() << "the profile already exists, cannot save";
            } else if (!Write()) {
                outcome = NotWritten;
                qDebug() << "the profile could not be written to the profile file";
            } else {
                outcome = Saved;
                qDebug() << "Action Save called";
            }
        }
    }
    Rule shown;
    QString unused;
    if (ui->rulecombo->currentIndex() == siteRulesIndex && selectedRule(&shown, &unused) && shown.isSiteRule())
        ui->ruletextedit->setText(shown.text());   // shown as it is kept
    switch (outcome) {
    case Saved: showNotice<addprodialog>(); break;
    case Busy: showNotice<filebusy>(); break;
    case NotLocked: showNotice<notsaved>(); break;
    case Invalid: showNotice<empty>(); break;
    case Unstorable: showNotice<notstorable>(); break;
    case BadRule: showRuleProblem(ruleProblem); break;
    case Unreadable: showNotice<notread>(); break;
    case Duplicate: showNotice<savedalready>(); break;
    case NotWritten: showNotice<notsaved>(); break;
    }
    if (outcome == Invalid || outcome == Unstorable || outcome == Duplicate)
        ui->pword_identifier_le->setFocus();
    else if (outcome == BadRule)
        focusRuleField();
}

// Whether the profile dialogs can open: a file that cannot be read gets a notice instead.
static bool profileFileUsable()
{
    const ProfileFile::ReadStatus status = ProfileFile::check(profile_file_path);
    if (status == ProfileFile::ReadStatus::Read || status == ProfileFile::ReadStatus::Missing)
        return true;
    showNotice<notread>();
    return false;
}

void zav::on_actionRetrieve_triggered()
{
    if (!profileFileUsable())
        return;
    listdialog dialog;
    dialog.setModal(true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ui->pword_identifier_le->setText(retrieved_identifier);
    selectScheme(pword_scheme);
    if (PeerSchemes::isPeer(pword_scheme)) {
        selectPeer(pword_peer);
    } else {
        selectRule(pword_rule);   // first: a site rule's lengths bound the length box
        ui->plengthspinbox->setValue(pword_length);
        ui->counterspinbox->setValue(pword_counter);
    }
    clearOutput();
}

void zav::on_actionDelete_triggered()
{
    if (!profileFileUsable())
        return;
    deletedialog dialog;
    dialog.setModal(true);
    dialog.exec();
}

void zav::on_actionImport_triggered()
{
    QFileDialog chooser(this, QStringLiteral("Import Profiles"), QDir::homePath());
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters({QStringLiteral("Site lists (*.json *.mpsites *.mpjson)"),
                            QStringLiteral("LessPass profiles (*.json)"),
                            QStringLiteral("Spectre and Master Password exports (*.mpsites *.mpjson)"),
                            QStringLiteral("All files (*)")});
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    const QString file = chooser.selectedFiles().constFirst();
    const SiteImport::Result list = SiteImport::readFile(file);
    QString report;
    if (list.status != SiteImport::Result::Read) {
        report = QStringLiteral("Nothing was imported: %1.").arg(list.problem);
    } else {
        const SiteImport::Stored stored = SiteImport::store(profile_file_path, list);
        switch (stored.save) {
        case ProfileFile::SaveResult::Saved:
        case ProfileFile::SaveResult::AlreadySaved:
            report = SiteImport::summary(stored) + QLatin1Char('.');
            for (const SiteImport::Skipped &skipped : stored.skipped)
                report += QStringLiteral("\nSkipped %1: %2.").arg(skipped.site, skipped.reason);
            break;
        case ProfileFile::SaveResult::Busy:
            report = QStringLiteral("Nothing was imported: another Quorvane window or quorvane-cli is changing the "
                                    "profile file. Try again in a moment.");
            break;
        default:
            report = QStringLiteral("Nothing was imported: the profile file %1 cannot be written.").arg(profile_file_path);
            break;
        }
    }
    importreport notice;
    notice.setReport(report.left(1).toUpper() + report.mid(1));
    notice.run();
}

void zav::on_clear_parameters_clicked()
{
    selectScheme(Scheme::Strong);
    ui->rulecombo->setCurrentIndex(0);
    ui->ruletextedit->clear();
    ui->plengthspinbox->setValue(4);
    ui->pword_identifier_le->setText(QString());
    clearSecrets();
    ui->counterspinbox->setValue(Counter::first);
    for (QCheckBox *box : {ui->lowercasebox, ui->uppercasebox, ui->digitsbox, ui->symbolsbox})
        box->setChecked(true);
    ui->symbolsedit->clear();
    ui->loginedit->clear();
    PeerRecipe spectre;
    spectre.scheme = Scheme::Spectre;
    selectPeer(spectre);
    clipboard->clearNow();
}
