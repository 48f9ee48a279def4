#include "notices.h"

#include "siteimport.h"

#include <QDir>
#include <QFileDialog>

#include "ui_addprodialog.h"
#include "ui_inputmsg1.h"
#include "ui_savedalready.h"
#include "ui_empty.h"
#include "ui_emptysecret.h"
#include "ui_notsaved.h"
#include "ui_notdeleted.h"
#include "ui_notderived.h"
#include "ui_notstorable.h"
#include "ui_phrasetoolong.h"
#include "ui_notread.h"
#include "ui_filebusy.h"
#include "ui_badrule.h"
#include "ui_importreport.h"
#include "ui_badprofile.h"
#include "ui_aboutdialog.h"

#define QUORVANE_NOTICE_FORM(name)             \
    name::name(QWidget *parent)                \
        : notice(parent), ui(new Ui::name)     \
    {                                          \
        ui->setupUi(this);                     \
    }                                          \
    name::~name() { delete ui; }

QUORVANE_NOTICE_FORM(addprodialog)
QUORVANE_NOTICE_FORM(inputmsg1)
QUORVANE_NOTICE_FORM(savedalready)
QUORVANE_NOTICE_FORM(empty)
QUORVANE_NOTICE_FORM(emptysecret)
QUORVANE_NOTICE_FORM(notsaved)
QUORVANE_NOTICE_FORM(notdeleted)
QUORVANE_NOTICE_FORM(notderived)
QUORVANE_NOTICE_FORM(notstorable)
QUORVANE_NOTICE_FORM(phrasetoolong)
QUORVANE_NOTICE_FORM(notread)
QUORVANE_NOTICE_FORM(filebusy)
QUORVANE_NOTICE_FORM(badrule)
QUORVANE_NOTICE_FORM(importreport)
QUORVANE_NOTICE_FORM(badprofile)
QUORVANE_NOTICE_FORM(aboutdialog)

namespace {

// A text in place of the form's own placeholder sentence, so that the notice keeps the look of
// the others.
void putInPlace(QTextEdit *edit, const QString &placeholder, const QString &text)
{
    QString html = edit->toHtml();
    html.replace(placeholder, text.toHtmlEscaped() + QLatin1Char('.'));
    edit->setHtml(html);
}

}

void badrule::setProblem(const QString &problem)
{
    putInPlace(ui->textEdit, QStringLiteral("The inputs make no password."), problem);
}

void badrule::showProblem(const QString &problem)
{
    badrule notice;
    notice.setProblem(problem.left(1).toUpper() + problem.mid(1));
    notice.run();
}

void badprofile::setReason(const QString &reason)
{
    putInPlace(ui->textEdit, QStringLiteral("its line makes no password."), reason);
}

void badprofile::showReason(const QString &reason)
{
    badprofile notice;
    notice.setReason(reason);
    notice.run();
}

void importreport::setReport(const QString &report)
{
    ui->textEdit->setPlainText(report);
}

void importreport::importSiteList(QWidget *parent, const QString &profilePath)
{
    QFileDialog chooser(parent, QStringLiteral("Import Profiles"), QDir::homePath());
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
        const SiteImport::Stored stored = SiteImport::store(profilePath, list);
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
            report = QStringLiteral("Nothing was imported: the profile file %1 cannot be written.").arg(profilePath);
            break;
        }
    }
    importreport notice;
    notice.setReport(report.left(1).toUpper() + report.mid(1));
    notice.run();
}
