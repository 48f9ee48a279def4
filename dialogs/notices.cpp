#include "notices.h"

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
