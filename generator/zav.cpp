#include "zav.h"
#include "ui_zav.h"

#include "clipboard.h"
#include "deletedialog.h"
#include "listdialog.h"
#include "notices.h"
#include "profilefile.h"
#include "profilestate.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDebug>
#include <QDesktopServices>
#include <QEventLoop>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QStatusBar>
#include <QUrl>

#include <thread>

namespace {

const char makerSite[] = "https://www.quorvane.org/";
const char strengthCalculator[] = "https://howsecureismypassword.net/";

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
    ui->inputtext->clear();
    ui->inputtext->document()->clearUndoRedoStacks();
    ui->passwordoutput->clear();
    ui->entropyout->clear();
    ui->fingerprintview->clear();
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

Scheme zav::selectedScheme() const
{
    return ui->schemecombo->currentIndex() == 1 ? Scheme::Compatible : Scheme::Strong;
}

void zav::selectScheme(Scheme scheme)
{
    ui->schemecombo->setCurrentIndex(scheme == Scheme::Compatible ? 1 : 0);
}

void zav::on_schemecombo_currentIndexChanged(int)
{
    const bool compatible = selectedScheme() == Scheme::Compatible;
    ui->schemewarning->setVisible(compatible);
    // The compatible scheme has neither rule nor version.
    for (QWidget *w : {static_cast<QWidget *>(ui->rulelabel), static_cast<QWidget *>(ui->rulecombo),
                       static_cast<QWidget *>(ui->versionlabel), static_cast<QWidget *>(ui->counterspinbox),
                       static_cast<QWidget *>(ui->customrule)})
        w->setEnabled(!compatible);
}

namespace {

// The rule of each preset of rulecombo, in its order; the last item, "Custom", has none.
const char *const presetRules[] = {"base64", "aA9!", "aA9", "9"};
constexpr int customIndex = 4;

}

void zav::on_rulecombo_currentIndexChanged(int index)
{
    ui->customrule->setVisible(index == customIndex);
}

void zav::on_inputtext_textChanged()
{
    ui->fingerprintview->setPhrase(ui->inputtext->toPlainText());
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
    const QString text = index >= 0 && index < customIndex
        ? QString::fromLatin1(presetRules[index])
        : Rule::compose(ui->lowercasebox->isChecked(), ui->uppercasebox->isChecked(), ui->digitsbox->isChecked(),
                        ui->symbolsbox->isChecked(), ui->symbolsedit->text());
    return Rule::parse(text, rule, problem);
}

void zav::selectRule(const Rule &rule)
{
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

QString zav::deriveWhileBusy(Scheme scheme, const QString &phrase, const QString &identifier, int length,
                             const Rule &rule, int counter)
{
    // A disabled window takes no input at all: no click, key, shortcut or screen reader's press
    // reaches a button while the password is being made.
    const QPointer<QWidget> focus = focusWidget();
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    QString password;
    std::thread worker([&] {
        password = Derivation::derive(scheme, phrase, identifier, length, rule, counter);
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

void zav::on_generatepass_clicked()
{
    pword_length = ui->plengthspinbox->value();
    Rule rule;
    if (!ruleOrNotice(&rule))
        return;
    ui->entropyout->setText(rule.entropyText(pword_length));

    const QString phrase = ui->inputtext->toPlainText();
    if (phrase.isEmpty()) {
        showNotice<emptysecret>();
        qDebug() << "Issue message that Secret Phrase is empty";
        return;
    }

    const QString identifier = ui->pword_identifier_le->text();
    pword_identifier = identifier;
    if (ProfileFile::containsBar(identifier)) {
        showNotice<inputmsg1>();
        return;
    }

    pword_scheme = selectedScheme();
    const QString password = deriveWhileBusy(pword_scheme, phrase, identifier, pword_length, rule, selectedCounter());
    if (password.isNull()) {
        showNotice<notderived>();
        return;
    }
    ui->passwordoutput->setText(password);
    clipboard->setPassword(password);
}

void zav::on_actionCalculate_Password_Strength_triggered()
{
    openPage(QString::fromLatin1(strengthCalculator));
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

void zav::on_actionSave_triggered()
{
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
            } else if (!selectedRule(&pword_rule, &ruleProblem)) {
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
    ui->plengthspinbox->setValue(pword_length);
    ui->pword_identifier_le->setText(retrieved_identifier);
    selectScheme(pword_scheme);
    selectRule(pword_rule);
    ui->counterspinbox->setValue(pword_counter);
}

void zav::on_actionDelete_triggered()
{
    if (!profileFileUsable())
        return;
    deletedialog dialog;
    dialog.setModal(true);
    dialog.exec();
}

void zav::on_clear_parameters_clicked()
{
    ui->plengthspinbox->setValue(4);
    ui->pword_identifier_le->setText(QString());
    clearSecrets();
    selectScheme(Scheme::Strong);
    ui->rulecombo->setCurrentIndex(0);
    ui->counterspinbox->setValue(Counter::first);
    for (QCheckBox *box : {ui->lowercasebox, ui->uppercasebox, ui->digitsbox, ui->symbolsbox})
        box->setChecked(true);
    ui->symbolsedit->clear();
    clipboard->clearNow();
}
