#include "changepassworddialog.h"
#include "ui_changepassworddialog.h"

#include "notices.h"
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
    ui->currentlabel->setText(QStringLiteral("Current password (%1, %2)").arg(current.identifier, current.versionText()));
    ui->nextlabel->setText(QStringLiteral("Next password (%1)").arg(next.label()));
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
    ui->statuslabel->setText(QStringLiteral("Type the current password into the site's form, then the next one; Save "
                                            "once the site has taken it."));
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
    QString saved;
    for (const QString &line : qAsConst(lines)) {
        Recipe recipe;
        if (saved.isEmpty() && Recipe::fromLine(line, &recipe) && recipe == currentRecipe)
            saved = line;
    }
    QString outcome;
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        outcome = QStringLiteral("Nothing was saved: the profile file %1 %2.").arg(path, ProfileFile::problemOf(path, status));
    } else if (saved.isEmpty()) {
        const ProfileFile::SaveResult result = ProfileFile::save(path, nextRecipe);
        kept = result == ProfileFile::SaveResult::Saved || result == ProfileFile::SaveResult::AlreadySaved;
        outcome = kept ? QStringLiteral("Saved %1 at %2.").arg(nextRecipe.identifier, nextRecipe.versionText())
                       : QStringLiteral("Nothing was saved: the profile file cannot be written now.");
    } else {
        const ProfileFile::RemoveResult result
            = ProfileFile::replace(path, saved, nextRecipe.lineOnPhrase(Recipe::phraseOfLine(saved)));
        kept = result == ProfileFile::RemoveResult::Removed;
        outcome = kept ? QStringLiteral("%1 is now at %2.").arg(nextRecipe.identifier, nextRecipe.versionText())
                       : QStringLiteral("Nothing was saved: the profile file is busy or cannot be written; try again.");
    }
    ui->statuslabel->setText(outcome);
    ui->savebutton->setEnabled(!kept);
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
