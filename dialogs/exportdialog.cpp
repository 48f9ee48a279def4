#include "exportdialog.h"
#include "ui_exportdialog.h"

#include "phrase.h"
#include "profilefile.h"

#include <QFileDialog>
#include <QFileInfo>

#include <sodium.h>

exportdialog::exportdialog(const QString &profilePath, QWidget *parent)
    : QDialog(parent), ui(new Ui::exportdialog), path(profilePath)
{
    ui->setupUi(this);
    const QList<QPair<QString, Export::Format>> formats{
        {QStringLiteral("KeePass 2 XML (KeePassXC, KeePass, Bitwarden)"), Export::Format::KeePassXml},
        {QStringLiteral("Bitwarden JSON"), Export::Format::BitwardenJson},
        {QStringLiteral("Bitwarden CSV"), Export::Format::BitwardenCsv},
        {QStringLiteral("LessPass profiles (no passwords)"), Export::Format::LessPassJson}};
    for (const auto &item : formats)
        ui->formatcombo->addItem(item.first, Export::formatName(item.second));
    connect(ui->phraseedit, &PhraseEdit::left, ui->fingerprint, [this] { ui->fingerprint->setPhrase(ui->phraseedit->phrase()); });
    connect(ui->phraseedit, &PhraseEdit::phraseChanged, ui->fingerprint, &FingerprintView::clear);
    ui->progress->hide();
    ui->cancelbutton->setEnabled(false);
    on_formatcombo_currentIndexChanged(0);
    // The phrase box: at least as wide as the format box, its dots on one line, its height the
    // same whether the export runs or not.
    const QMargins inner = ui->phraseedit->contentsMargins();
    ui->phraseedit->setFixedHeight(ui->phraseedit->fontMetrics().lineSpacing()
                                   + int(2 * ui->phraseedit->document()->documentMargin()) + inner.top() + inner.bottom());
    ui->phraseedit->setMinimumWidth(qMax(ui->formatcombo->sizeHint().width(),
                                         ui->phraseedit->fontMetrics().horizontalAdvance(QString(32, QChar(0x25CF)))));
    ui->formatcombo->setSizePolicy(QSizePolicy::Maximum, ui->formatcombo->sizePolicy().verticalPolicy());
    ui->phraseedit->setLineWrapMode(QTextEdit::NoWrap);
    ui->phraseedit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->phraseedit->setFocus();
}

exportdialog::~exportdialog()
{
    stop();
    delete ui;
}

Export::Format exportdialog::format() const
{
    Export::Format chosen = Export::Format::KeePassXml;
    Export::formatFromName(ui->formatcombo->currentData().toString(), &chosen);
    return chosen;
}

void exportdialog::on_formatcombo_currentIndexChanged(int)
{
    const bool passwords = Export::holdsPasswords(format());
    ui->phraseedit->setEnabled(passwords);
    ui->warning->setText(passwords ? QStringLiteral("The file holds every password in clear: anyone who reads it has "
                                                    "every account. Keep it only until the other password manager "
                                                    "has imported it, then delete it.")
                                   : QStringLiteral("LessPass's profiles file holds the LessPass profiles' settings, "
                                                    "and no password."));
}

void exportdialog::setRunning(bool running)
{
    ui->exportbutton->setEnabled(!running);
    ui->formatcombo->setEnabled(!running);
    ui->phraseedit->setEnabled(!running && Export::holdsPasswords(format()));
    ui->cancelbutton->setEnabled(running);
    ui->progress->setVisible(running);
}

void exportdialog::on_exportbutton_clicked()
{
    QString phrase = ui->phraseedit->phrase();
    if (Export::holdsPasswords(format()) && phrase.isEmpty()) {
        ui->statuslabel->setText(QStringLiteral("Type the secret phrase first."));
        ui->phraseedit->setFocus();
        return;
    }
    QFileDialog chooser(this, QStringLiteral("Export to"), QDir::homePath());
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setOption(QFileDialog::DontConfirmOverwrite);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    // A name and a filter of the format's own: quorvane-export.xml, .json or .csv.
    const QString extension = Export::fileExtension(format());
    chooser.setNameFilters({QStringLiteral("%1 (*.%2)").arg(Export::formatTitle(format()), extension),
                            QStringLiteral("All files (*)")});
    chooser.setDefaultSuffix(extension);
    chooser.selectFile(QStringLiteral("quorvane-export.") + extension);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    target = chooser.selectedFiles().constFirst();
    if (QFileInfo::exists(target)) {
        ui->statuslabel->setText(QStringLiteral("%1 exists already: choose a new file. Nothing was written.").arg(target));
        return;
    }
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        ui->statuslabel->setText(QStringLiteral("The profile file %1 %2.").arg(path, ProfileFile::problemOf(path, status)));
        return;
    }
    const QString refused = Export::refusal(path, lines, format());
    if (!refused.isEmpty()) {
        ui->statuslabel->setText(refused.at(0).toUpper() + refused.mid(1) + QStringLiteral(". Nothing was written."));
        return;
    }
    QStringList skipped;
    entries = Export::entriesOf(lines, format(), &skipped);
    if (!Export::holdsPasswords(format()) || entries.isEmpty()) {
        finish();
        return;
    }
    ui->fingerprint->setPhrase(phrase);
    made = 0;
    ui->progress->setRange(0, entries.size());
    ui->progress->setValue(0);
    setRunning(true);
    ui->statuslabel->setText(QStringLiteral("Making %1 passwords…").arg(entries.size()));
    QList<Recipe> recipes;
    for (const Export::Entry &entry : qAsConst(entries))
        recipes << entry.recipe;
    batch.start(this, recipes, {phrase}, [this](int row, int, const QString &password) { derived(row, password); });
    Phrase::wipe(phrase);
}

void exportdialog::derived(int row, const QString &password)
{
    if (row < 0 || row >= entries.size())
        return;
    entries[row].password = password;
    ui->progress->setValue(++made);
    if (made == entries.size())
        finish();
}

void exportdialog::finish()
{
    setRunning(false);
    for (const Export::Entry &entry : qAsConst(entries)) {
        if (Export::holdsPasswords(format()) && entry.password.isNull()) {
            ui->statuslabel->setText(QStringLiteral("The passwords could not be made; nothing was written."));
            stop();
            return;
        }
    }
    QByteArray bytes = Export::write(format(), entries);
    QString problem;
    switch (Export::writeNewFile(target, bytes, &problem)) {
    case Export::FileResult::Written:
        ui->statuslabel->setText(QStringLiteral("Wrote %1 entries to %2 (readable by you alone).%3")
                                     .arg(entries.size())
                                     .arg(target, Export::holdsPasswords(format())
                                                      ? QStringLiteral(" It holds every password in clear: delete it once "
                                                                       "it is imported.") : QString())
                                 + (Export::notes(format(), entries).isEmpty()
                                        ? QString()
                                        : QLatin1Char(' ') + Export::notes(format(), entries).join(QStringLiteral(". "))
                                              + QLatin1Char('.')));
        break;
    case Export::FileResult::Exists:
        ui->statuslabel->setText(QStringLiteral("%1 exists already: choose a new file. Nothing was written.").arg(target));
        break;
    case Export::FileResult::Failed:
        ui->statuslabel->setText(QStringLiteral("%1 cannot be written (%2); nothing was written.").arg(target, problem));
        break;
    }
    sodium_memzero(bytes.data(), std::size_t(bytes.size()));
    stop();
}

void exportdialog::on_cancelbutton_clicked()
{
    stop();
    setRunning(false);
    ui->statuslabel->setText(QStringLiteral("Cancelled: nothing was written."));
}

void exportdialog::on_closebutton_clicked()
{
    close();
}

void exportdialog::done(int result)
{
    stop();
    ui->phraseedit->clearPhrase();
    ui->fingerprint->clear();
    QDialog::done(result);
}

void exportdialog::stop()
{
    batch.stop();
    for (Export::Entry &entry : entries)
        Phrase::wipe(entry.password);
    entries.clear();
}
