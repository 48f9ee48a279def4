#include "changepassworddialog.h"
#include "ui_changepassworddialog.h"

#include "notices.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPushButton>
#include "pagematch.h"
#include "profilefile.h"
#include "changepage.h"

#include "phrase.h"

using Phrase::wipe;

changepassworddialog::changepassworddialog(const Recipe &current, const Recipe &next, const QString &phrase,
                                           const QString &profilePath, std::function<void(const QString &)> copyPassword,
                                           QWidget *parent)
    : QDialog(parent), ui(new Ui::changepassworddialog), currentRecipe(current), nextRecipe(next), path(profilePath),
      copyPassword(std::move(copyPassword))
{
    ui->setupUi(this);
    // Both labels alike; the whole of each recipe in the tooltips.
    ui->currentlabel->setText(QStringLiteral("Current password (%1, %2)").arg(current.identifier, current.versionText()));
    ui->nextlabel->setText(QStringLiteral("Next password (%1, %2)").arg(next.identifier, next.versionText()));
    ui->currentlabel->setToolTip(current.label());
    ui->nextlabel->setToolTip(next.label());
    // Room for 32 characters of the fixed font the main window shows passwords in, hidden or shown.
    for (QLineEdit *box : {ui->currentoutput, ui->nextoutput}) {
        box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        const QMargins text = box->textMargins();
        const QFontMetrics metrics(box->font());
        box->setMinimumWidth(qMax(metrics.horizontalAdvance(QString(33, QLatin1Char('W'))),
                                  33 * metrics.horizontalAdvance(QChar(0x25CF)))
                             + text.left() + text.right() + 12);
    }
    saveCurrentButton = new QPushButton(QStringLiteral("Save %1").arg(current.versionText()), this);
    saveCurrentButton->setObjectName(QStringLiteral("savecurrentbutton"));
    saveCurrentButton->setAccessibleDescription(QStringLiteral("Saves the profile at its current version, for a site that still has it"));
    backButton = new QPushButton(QStringLiteral("Back to %1").arg(current.versionText()), this);
    backButton->setObjectName(QStringLiteral("backbutton"));
    backButton->setAccessibleDescription(QStringLiteral("Puts the profile back at the version it had, for a site that refused the new password"));
    ui->buttons->insertWidget(ui->buttons->indexOf(ui->savebutton) + 1, saveCurrentButton);
    ui->buttons->insertWidget(ui->buttons->indexOf(ui->savebutton) + 1, backButton);
    saveCurrentButton->hide();
    backButton->hide();
    connect(backButton, &QPushButton::clicked, this, &changepassworddialog::goBack);
    connect(saveCurrentButton, &QPushButton::clicked, this, [this] {
        const ProfileFile::SaveResult result = ProfileFile::save(path, currentRecipe);
        const bool done = result == ProfileFile::SaveResult::Saved || result == ProfileFile::SaveResult::AlreadySaved;
        ui->statuslabel->setText(done ? QStringLiteral("Saved %1 at %2.").arg(currentRecipe.identifier, currentRecipe.versionText())
                                      : QStringLiteral("Nothing was saved: the profile file cannot be written now."));
        if (done) {
            saveCurrentButton->hide();
            ui->savebutton->setEnabled(true);
        }
    });
    ui->statuslabel->setText(QStringLiteral("Making the two passwords…"));
    ui->savebutton->setEnabled(false);
    ui->copycurrentbutton->setEnabled(false);
    ui->copynextbutton->setEnabled(false);
    // Where the site takes its new password, for an identifier that is a domain name.
    ui->changepagebutton->setVisible(!PageMatch::changePasswordPage(current.identifier).isEmpty());
    connect(ui->changepagebutton, &QPushButton::clicked, this, [this] {
        if (!ChangePage::open(currentRecipe.identifier))
            ui->statuslabel->setText(QStringLiteral("No browser could be opened: go to %1 yourself.")
                                         .arg(PageMatch::changePasswordPage(currentRecipe.identifier)));
    });
    // Both made in the background: the window stays free meanwhile.
    batch.start(this, {current, next}, {phrase}, [this](int which, int, const QString &password) { derived(which, password); });
}

changepassworddialog::~changepassworddialog()
{
    batch.stop();
    for (QString &password : made)
        wipe(password);
    ui->currentoutput->clear();
    ui->nextoutput->clear();
    delete ui;
}

void changepassworddialog::derived(int which, const QString &password)
{
    if (password.isNull()) {
        batch.stop();
        ui->statuslabel->setText(QStringLiteral("The passwords could not be made."));
        return;
    }
    made[which] = password;
    if (++madeCount < 2)
        return;
    ui->currentoutput->setText(made[0]);
    ui->nextoutput->setText(made[1]);
    ui->copycurrentbutton->setEnabled(true);
    ui->copynextbutton->setEnabled(true);
    ui->savebutton->setEnabled(true);
    // The instruction stands once, at the top; here only what is not said there.
    if (savedLine().isEmpty()) {
        ui->statuslabel->setText(QStringLiteral("No profile is saved as %1. Save keeps %2; \"Save %3\" keeps %3 instead, "
                                                "if the site still has it.")
                                     .arg(currentRecipe.identifier, nextRecipe.versionText(), currentRecipe.versionText()));
        saveCurrentButton->show();
    } else {
        ui->statuslabel->setText(QStringLiteral("Both passwords are made."));
    }
}

QString changepassworddialog::savedLine() const
{
    QStringList lines;
    ProfileFile::readLines(path, &lines);
    for (const QString &line : qAsConst(lines)) {
        Recipe recipe;
        if (Recipe::fromLine(line, &recipe) && recipe == currentRecipe)
            return line;
    }
    return QString();
}

void changepassworddialog::goBack()
{
    // The line Save wrote gives its place back to the one it replaced (or goes, for a profile
    // Save made).
    const ProfileFile::RemoveResult result = replacedLine.isEmpty() ? ProfileFile::remove(path, keptLine)
                                                                    : ProfileFile::replace(path, keptLine, replacedLine);
    if (result != ProfileFile::RemoveResult::Removed) {
        ui->statuslabel->setText(QStringLiteral("The profile was not put back: the profile file is busy, changed meanwhile "
                                                "or cannot be written."));
        return;
    }
    kept = false;
    backButton->hide();
    ui->savebutton->setEnabled(true);
    ui->statuslabel->setText(QStringLiteral("%1 is back at %2.").arg(currentRecipe.identifier, currentRecipe.versionText()));
}

void changepassworddialog::on_showbox_toggled(bool shown)
{
    const QLineEdit::EchoMode mode = shown ? QLineEdit::Normal : QLineEdit::Password;
    ui->currentoutput->setEchoMode(mode);
    ui->nextoutput->setEchoMode(mode);
}

void changepassworddialog::on_copycurrentbutton_clicked()
{
    if (!ui->currentoutput->text().isEmpty())
        copyPassword(ui->currentoutput->text());
}

void changepassworddialog::on_copynextbutton_clicked()
{
    if (!ui->nextoutput->text().isEmpty())
        copyPassword(ui->nextoutput->text());
}

void changepassworddialog::on_savebutton_clicked()
{
    // The saved line of the current profile, on whichever phrase it is, gives its place to the
    // next version on the same phrase; a profile not saved is saved at its next version.
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    const QString saved = savedLine();
    QString outcome;
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        outcome = QStringLiteral("Nothing was saved: the profile file %1 %2.").arg(path, ProfileFile::problemOf(path, status));
    } else if (saved.isEmpty()) {
        const ProfileFile::SaveResult result = ProfileFile::save(path, nextRecipe);
        kept = result == ProfileFile::SaveResult::Saved || result == ProfileFile::SaveResult::AlreadySaved;
        outcome = kept ? QStringLiteral("Saved %1 at %2.").arg(nextRecipe.identifier, nextRecipe.versionText())
                       : QStringLiteral("Nothing was saved: the profile file cannot be written now.");
        keptLine = ProfileFile::newLine(path, nextRecipe.line());
        replacedLine.clear();
    } else {
        const ProfileFile::RemoveResult result
            = ProfileFile::replace(path, saved, nextRecipe.lineOnPhrase(Recipe::phraseOfLine(saved)));
        kept = result == ProfileFile::RemoveResult::Removed;
        outcome = kept ? QStringLiteral("%1 is now at %2.").arg(nextRecipe.identifier, nextRecipe.versionText())
                       : QStringLiteral("Nothing was saved: the profile file is busy or cannot be written; try again.");
        keptLine = nextRecipe.lineOnPhrase(Recipe::phraseOfLine(saved));
        replacedLine = saved;
    }
    ui->statuslabel->setText(outcome);
    ui->savebutton->setEnabled(!kept);
    saveCurrentButton->hide();
    backButton->setVisible(kept);
}

bool changepassworddialog::changeVersion(const Recipe &current, const QString &phrase, const QString &profilePath,
                                         const std::function<void(const QString &)> &copyPassword, Recipe *next)
{
    QString problem;
    if (!current.nextVersion(next, &problem)) {
        badrule::showProblem(problem);
        return false;
    }
    changepassworddialog dialog(current, *next, phrase, profilePath, copyPassword);
    dialog.setModal(true);
    dialog.exec();
    return dialog.saved();
}

void changepassworddialog::on_closebutton_clicked()
{
    close();
}
