#include "zav.h"
#include "ui_zav.h"

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
#include <QMimeData>
#include <QUrl>

#include <thread>

namespace {

const char makerSite[] = "https://www.quorvane.org/";
const char strengthCalculator[] = "https://howsecureismypassword.net/";

void openPage(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

// Swallows the user's clicks and keys while a password is being derived, so that a click made
// meanwhile is not acted upon once the window answers again.
class InputBlocker : public QObject
{
public:
    InputBlocker()
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
    }
    ~InputBlocker() override
    {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
            return true;
        default:
            return false;
        }
    }
};

}

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

zav::zav(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags()), ui(new Ui::zav)
{
    ui->setupUi(this);
    on_schemecombo_currentIndexChanged(ui->schemecombo->currentIndex());
    on_rulecombo_currentIndexChanged(ui->rulecombo->currentIndex());
    on_symbolsbox_toggled(ui->symbolsbox->isChecked());
}

zav::~zav()
{
    delete ui;
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
    badrule notice;
    notice.setProblem(problem.left(1).toUpper() + problem.mid(1));
    notice.run();
    return false;
}

QString zav::deriveWhileBusy(Scheme scheme, const QString &phrase, const QString &identifier, int length,
                             const Rule &rule, int counter)
{
    InputBlocker blocker;
    QEventLoop loop;
    QString password;
    std::thread worker([&] {
        password = Derivation::derive(scheme, phrase, identifier, length, rule, counter);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
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

    // The hint asks clipboard managers to keep the password out of their history.
    auto *data = new QMimeData;
    data->setText(password);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
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
    // Held from the read to the append, so that no other window or quorvane-cli writes between
    // the duplicate test and the new line.
    const ProfileFile::Lock lock(profile_file_path);
    if (lock.state() != ProfileFile::Lock::Held) {
        if (lock.state() == ProfileFile::Lock::Busy)
            showNotice<filebusy>();
        else
            showNotice<notsaved>();
        qDebug() << "the profile file could not be locked, nothing was saved";
        return;
    }
    profile_list_text = QString("");
    const ProfileFile::ReadStatus status = Read_save();

    if (!ProfileFile::isValidIdentifier(pword_identifier)) {
        showNotice<empty>();
        qDebug() << "the Password Identifier is empty or contains the | character please enter valid value";
        return;
    }
    if (!ProfileFile::isStorableIdentifier(pword_identifier)) {
        showNotice<notstorable>();
        qDebug() << "the Password Identifier holds a character that the profile file cannot keep";
        return;
    }
    if (!ruleOrNotice(&pword_rule))
        return;
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        showNotice<notread>();
        qDebug() << "the profile file cannot be read, nothing was saved";
        return;
    }
    const QString candidate = ProfileFile::line(pword_identifier, pword_length, pword_scheme, pword_rule, pword_counter);
    if (profile_lines.contains(candidate)) {
        showNotice<savedalready>();
        qDebug() << "the profile already exists, cannot save";
        return;
    }
    if (!Write()) {
        showNotice<notsaved>();
        qDebug() << "the profile could not be written to the profile file";
        return;
    }
    qDebug() << "Action Save called";
    showNotice<addprodialog>();
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
    ui->entropyout->setText(QString());
    ui->pword_identifier_le->setText(QString());
    ui->inputtext->setText(QString());
    ui->passwordoutput->setText(QString());
    selectScheme(Scheme::Strong);
    ui->rulecombo->setCurrentIndex(0);
    ui->counterspinbox->setValue(Counter::first);
    for (QCheckBox *box : {ui->lowercasebox, ui->uppercasebox, ui->digitsbox, ui->symbolsbox})
        box->setChecked(true);
    ui->symbolsedit->clear();
    ui->fingerprintview->clear();
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}
