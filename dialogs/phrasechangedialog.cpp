#include "phrasechangedialog.h"
#include "ui_phrasechangedialog.h"
#include "wording.h"
#include <QSet>
#include <QBoxLayout>
#include <QMessageBox>
#include <QLineEdit>
#include <QLabel>
#include <QHeaderView>
#include <QScrollBar>
#include <QFontDatabase>

#include "changepage.h"

#include "pagematch.h"

#include "batch.h"
#include "phrasechange.h"
#include "profilefile.h"

#include "phrase.h"

#include <QSignalBlocker>
#include <QTreeWidgetItem>

namespace {

enum Column { ProfileColumn, PreviousColumn, NewColumn, MovedColumn };
constexpr int lineRole = Qt::UserRole;
constexpr int passwordRole = Qt::UserRole + 1;
constexpr int strongLineRole = Qt::UserRole + 2;       // a compatible profile's strong version
constexpr int strongPasswordRole = Qt::UserRole + 3;   // its password under the new phrase
constexpr int compatiblePasswordRole = Qt::UserRole + 4;
constexpr int originalLineRole = Qt::UserRole + 5;     // the compatible line a strong move replaced
const QString hidden = QStringLiteral("••••••••");

}

using Phrase::wipe;

phrasechangedialog::phrasechangedialog(const QString &profilePath, std::function<void(const QString &)> copyPassword,
                                       QWidget *parent)
    : QDialog(parent), ui(new Ui::phrasechangedialog), path(profilePath), copyPassword(std::move(copyPassword))
{
    ui->setupUi(this);
    ui->progress->hide();
    ui->profilelist->setEnabled(false);
    for (QWidget *button : {static_cast<QWidget *>(ui->copypreviousbutton), static_cast<QWidget *>(ui->copynewbutton)})
        button->setEnabled(false);
    // The fingerprint of each whole phrase, once it is left; any edit takes it away.
    const auto guard = [](PhraseEdit *edit, FingerprintView *view) {
        connect(edit, &PhraseEdit::left, view, [edit, view] { view->setPhrase(edit->phrase()); });
        connect(edit, &PhraseEdit::phraseChanged, view, &FingerprintView::clear);
    };
    guard(ui->previousedit, ui->previousfingerprint);
    guard(ui->newedit, ui->newfingerprint);
    connect(ui->profilelist, &QTreeWidget::itemChanged, this, &phrasechangedialog::markChanged);
    ui->changepagebutton->setEnabled(false);
    // A compatible profile moves to the strong scheme with the new phrase, when the user says so.
    auto *strongButton = new QPushButton(QStringLiteral("Move to Strong"), this);
    strongButton->setObjectName(QStringLiteral("strongbutton"));
    strongButton->setToolTip(QStringLiteral("A compatible profile's password is one of a few dozen values whatever the phrase: "
                                            "give the site a strong password with the new phrase"));
    strongButton->setAccessibleDescription(strongButton->toolTip());
    strongButton->setEnabled(false);
    ui->buttons->insertWidget(ui->buttons->indexOf(ui->changepagebutton), strongButton);
    // A way out: a change no site has moved to yet ends; with sites moved, they are named.
    auto *cancelChange = new QPushButton(QStringLiteral("Cancel the Change"), this);
    cancelChange->setObjectName(QStringLiteral("cancelchangebutton"));
    cancelChange->setAccessibleDescription(QStringLiteral("Ends the change of the secret phrase while no site uses the new one"));
    ui->buttons->insertWidget(ui->buttons->indexOf(ui->closebutton), cancelChange);
    connect(cancelChange, &QPushButton::clicked, this, [this] {
        QStringList moved;
        switch (PhraseChange::cancel(path, &moved)) {
        case PhraseChange::CancelResult::Ended:
            stop();
            ui->profilelist->clear();
            say(QStringLiteral("The change of the secret phrase is cancelled: every profile stays on the previous phrase."));
            return;
        case PhraseChange::CancelResult::SitesMoved: {
            QStringList sites;
            for (const QString &line : qAsConst(moved))
                sites << ProfileFile::identifierOf(line);
            say(QStringLiteral("Not cancelled: %1 already %2 the new phrase's password (%3). Change each back on its site, "
                               "untick it here, then cancel; or go on with the change.")
                    .arg(Wording::count(sites.size(), QStringLiteral("site"), QStringLiteral("sites")),
                         sites.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"), sites.join(QStringLiteral(", "))));
            return;
        }
        case PhraseChange::CancelResult::NoChange:
            say(QStringLiteral("No change of the secret phrase is in progress."));
            return;
        case PhraseChange::CancelResult::Busy:
        case PhraseChange::CancelResult::Unusable:
        case PhraseChange::CancelResult::Failed:
            break;
        }
        say(QStringLiteral("The change could not be cancelled: the profile file is busy or cannot be written; try again."));
    });
    connect(strongButton, &QPushButton::clicked, this, &phrasechangedialog::moveToStrong);
    connect(ui->profilelist, &QTreeWidget::currentItemChanged, strongButton, [this, strongButton](QTreeWidgetItem *item) {
        strongButton->setEnabled(item && !item->data(ProfileColumn, strongPasswordRole).toString().isEmpty()
                                 && !item->data(NewColumn, compatiblePasswordRole).isValid()
                                 && item->checkState(MovedColumn) != Qt::Checked);
    });
    connect(ui->changepagebutton, &QPushButton::clicked, this, [this] {
        QTreeWidgetItem *item = ui->profilelist->currentItem();
        const QString identifier = item ? ProfileFile::identifierOf(item->data(ProfileColumn, lineRole).toString()) : QString();
        if (!identifier.isEmpty() && !ChangePage::open(identifier))
            say(QStringLiteral("No browser could be opened: go to %1 yourself.").arg(PageMatch::changePasswordPage(identifier)));
    });
    connect(ui->profilelist, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        ui->changepagebutton->setEnabled(
            item && !PageMatch::changePasswordPage(ProfileFile::identifierOf(item->data(ProfileColumn, lineRole).toString())).isEmpty());
        ui->copypreviousbutton->setEnabled(item && !item->data(PreviousColumn, passwordRole).toString().isEmpty());
        ui->copynewbutton->setEnabled(item && !item->data(NewColumn, passwordRole).toString().isEmpty());
    });

    // A filter, as the retrieve dialog has, above the list.
    filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("filteredit"));
    filter->setPlaceholderText(QStringLiteral("Filter by site"));
    filter->setAccessibleName(QStringLiteral("Filter the profiles"));
    filter->setClearButtonEnabled(true);
    static_cast<QBoxLayout *>(layout())->insertWidget(layout()->indexOf(ui->profilelist), filter);
    connect(filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        for (int i = 0; i < ui->profilelist->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = ui->profilelist->topLevelItem(i);
            item->setHidden(!item->text(ProfileColumn).contains(text.trimmed(), Qt::CaseInsensitive));
        }
    });
    // Wide enough for its four columns, passwords whole in the fixed font; the size it was left
    // at is kept while the program runs.
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->profilelist->setColumnWidth(PreviousColumn, fixed.horizontalAdvance(QString(34, QLatin1Char('W'))));
    ui->profilelist->setColumnWidth(NewColumn, fixed.horizontalAdvance(QString(34, QLatin1Char('W'))));
    ui->profilelist->header()->setMinimumSectionSize(fontMetrics().horizontalAdvance(QStringLiteral("Previous password")) + 24);
    resize(keptSize().isValid() ? keptSize()
                                : QSize(fontMetrics().horizontalAdvance(QString(30, QLatin1Char('x')))
                                            + 2 * fixed.horizontalAdvance(QString(34, QLatin1Char('W')))
                                            + fontMetrics().horizontalAdvance(QStringLiteral("Moved")) + 120,
                                        sizeHint().height() + 160));

    PhraseChange::Status now;
    PhraseChange::status(path, &now);
    if (now.target > 1) {
        say(QStringLiteral("A change of the secret phrase is in progress: %1 of %2 profiles moved. Type both phrases "
                           "again to go on.").arg(now.moved.size()).arg(now.moved.size() + now.waiting.size()));
        // Where the list will be: why it is empty.
        auto *why = new QTreeWidgetItem(ui->profilelist);
        why->setText(ProfileColumn, QStringLiteral("The profiles show again, with both passwords, once both phrases are "
                                                   "typed: nothing about either phrase is kept."));
        why->setFlags(Qt::NoItemFlags);
    } else {
        say(QStringLiteral("Type the previous phrase and the new one: every profile then shows both passwords."));
    }
    ui->previousedit->setFocus();
}

QSize &phrasechangedialog::keptSize()
{
    static QSize size;
    return size;
}

phrasechangedialog::~phrasechangedialog()
{
    keptSize() = size();
    stop();
    delete ui;
}

void phrasechangedialog::say(const QString &text)
{
    ui->statuslabel->setText(text);
    emit status(text);
}

bool phrasechangedialog::allMade() const
{
    return wanted > 0 && made == wanted;
}

void phrasechangedialog::on_startbutton_clicked()
{
    QString previous = ui->previousedit->phrase();
    QString next = ui->newedit->phrase();
    if (previous.isEmpty() || next.isEmpty()) {
        say(QStringLiteral("Type both phrases first."));
        (previous.isEmpty() ? ui->previousedit : ui->newedit)->setFocus();
        return;
    }
    if (next != ui->againedit->phrase()) {
        say(QStringLiteral("The new phrase was typed two different ways: type it again."));
        ui->againedit->setFocus();
        return;
    }
    if (previous == next) {
        say(QStringLiteral("The previous and the new phrase are the same: nothing would change."));
        ui->newedit->setFocus();
        return;
    }
    // Their fingerprints first: the user's only check that neither holds a typo.
    ui->previousfingerprint->setPhrase(previous);
    ui->newfingerprint->setPhrase(next);

    // A change is started once, asked: it is days of work over every site. The first press
    // asks, the second starts.
    if (PhraseChange::target(path) < 2 && !confirming) {
        QStringList lines;
        ProfileFile::readLines(path, &lines);
        const int profiles = ProfileFile::rows(lines).size();
        if (profiles > 0) {
            wipe(previous);
            wipe(next);
            confirming = true;
            startText = ui->startbutton->text();
            ui->startbutton->setText(QStringLiteral("Start the Change"));
            say(QStringLiteral("Start changing the secret phrase of %1? Each site keeps its password from the previous "
                               "phrase until you change it there and tick Moved. Press \"Start the Change\" to begin.")
                    .arg(Wording::count(profiles, QStringLiteral("profile"), QStringLiteral("profiles"))));
            return;
        }
    }
    if (confirming) {
        confirming = false;
        ui->startbutton->setText(startText);
    }
    int target = 0;
    const PhraseChange::StartResult started = PhraseChange::start(path, &target);
    if (started == PhraseChange::StartResult::NoProfiles) {
        say(QStringLiteral("No profile is saved: there is nothing to change."));
        return;
    }
    if (started != PhraseChange::StartResult::Started && started != PhraseChange::StartResult::InProgress) {
        say(QStringLiteral("The change could not be started: the profile file %1 cannot be used or written.").arg(path));
        return;
    }
    PhraseChange::Status now;
    PhraseChange::status(path, &now);
    // In the file's order, moved or not: a row never jumps.
    QStringList lines;
    {
        QStringList all;
        ProfileFile::readLines(path, &all);
        const QSet<QString> listed = QSet<QString>(now.waiting.cbegin(), now.waiting.cend())
                                     + QSet<QString>(now.moved.cbegin(), now.moved.cend());
        for (const QString &line : qAsConst(all)) {
            if (listed.contains(line) && !lines.contains(line))
                lines << line;
        }
    }
    QList<Recipe> recipes;
    stop();
    ui->profilelist->clear();
    upgradeOf.clear();
    {
        const QSignalBlocker quiet(ui->profilelist);
        for (const QString &line : qAsConst(lines)) {
            Recipe recipe;
            Recipe::fromLine(line, &recipe);
            recipes << recipe;
            auto *item = new QTreeWidgetItem(ui->profilelist);
            item->setText(ProfileColumn, recipe.identifier + QStringLiteral(": ") + recipe.label());
            item->setToolTip(ProfileColumn, line);
            item->setData(ProfileColumn, lineRole, line);
            item->setText(PreviousColumn, QStringLiteral("…"));
            item->setText(NewColumn, QStringLiteral("…"));
            for (int column : {PreviousColumn, NewColumn})
                item->setFont(column, QFontDatabase::systemFont(QFontDatabase::FixedFont));
            item->setHidden(!filter->text().isEmpty()
                            && !item->text(ProfileColumn).contains(filter->text().trimmed(), Qt::CaseInsensitive));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(MovedColumn, now.moved.contains(line) ? Qt::Checked : Qt::Unchecked);
        }
    }
    // Each compatible profile's strong version too, under the new phrase: the moment to leave the
    // compatible scheme, offered per profile ("Move to Strong").
    const int rows = recipes.size();
    for (int i = 0; i < rows; ++i) {
        Recipe strong;
        QString problem;
        if (recipes.at(i).scheme != Scheme::Compatible || !recipes.at(i).nextVersion(&strong, &problem))
            continue;
        ui->profilelist->topLevelItem(i)->setData(ProfileColumn, strongLineRole, strong.line());
        upgradeOf.insert(recipes.size(), i);
        recipes << strong;
    }
    ui->profilelist->resizeColumnToContents(ProfileColumn);
    ui->profilelist->resizeColumnToContents(MovedColumn);
    // Every column in sight, Moved too: the window grows to them when it is narrower.
    const int needed = ui->profilelist->header()->length() + 2 * ui->profilelist->frameWidth()
                       + ui->profilelist->verticalScrollBar()->sizeHint().width() + 8;
    if (ui->profilelist->viewport()->width() < needed)
        resize(width() + needed - ui->profilelist->viewport()->width(), height());
    ui->profilelist->setEnabled(true);
    made = 0;
    wanted = 2 * recipes.size();
    ui->progress->setRange(0, wanted);
    ui->progress->setValue(0);
    ui->progress->show();
    say(QStringLiteral("%1 of %2 profiles moved. Making the passwords…").arg(now.moved.size()).arg(lines.size()));

    // Every profile under both phrases, on a few threads; each result comes back through the
    // event loop, so the window answers meanwhile.
    batch.start(this, recipes, {previous, next}, [this](int row, int phrase, const QString &password) {
        derived(row, phrase, password);
    });
    wipe(previous);
    wipe(next);
}

void phrasechangedialog::derived(int row, int phrase, const QString &password)
{
    if (upgradeOf.contains(row)) {
        // A strong version's password: only the new phrase's is shown, where it is chosen.
        if (QTreeWidgetItem *item = ui->profilelist->topLevelItem(upgradeOf.value(row)); item && phrase == 1)
            item->setData(ProfileColumn, strongPasswordRole, password);
        ui->progress->setValue(++made);
        if (made == wanted)
            finishedMaking();
        return;
    }
    QTreeWidgetItem *item = ui->profilelist->topLevelItem(row);
    if (!item)
        return;
    const QSignalBlocker quiet(ui->profilelist);
    const int column = phrase == 0 ? PreviousColumn : NewColumn;
    item->setData(column, passwordRole, password.isNull() ? QString() : password);
    if (password.isNull())
        item->setText(column, QStringLiteral("not made"));
    else
        showPassword(item, column);
    ui->progress->setValue(++made);
    if (made == wanted)
        finishedMaking();
    if (item == ui->profilelist->currentItem())
        emit ui->profilelist->currentItemChanged(item, item);
}

void phrasechangedialog::finishedMaking()
{
    ui->progress->hide();
    PhraseChange::Status now;
    PhraseChange::status(path, &now);
    say(QStringLiteral("%1 of %2 profiles moved. Tick Moved once a site has taken its new password.")
            .arg(now.moved.size()).arg(now.moved.size() + now.waiting.size()));
    if (QTreeWidgetItem *item = ui->profilelist->currentItem())
        emit ui->profilelist->currentItemChanged(item, item);
}

void phrasechangedialog::moveToStrong()
{
    QTreeWidgetItem *item = ui->profilelist->currentItem();
    if (!item || item->data(ProfileColumn, strongPasswordRole).toString().isEmpty() || item->checkState(MovedColumn) == Qt::Checked)
        return;
    const QSignalBlocker quiet(ui->profilelist);
    item->setData(NewColumn, compatiblePasswordRole, item->data(NewColumn, passwordRole));
    item->setData(NewColumn, passwordRole, item->data(ProfileColumn, strongPasswordRole));
    Recipe strong;
    Recipe::fromLine(item->data(ProfileColumn, strongLineRole).toString(), &strong);
    item->setText(ProfileColumn, strong.identifier + QStringLiteral(": ") + strong.label() + QStringLiteral(" (from compatible)"));
    showPassword(item, NewColumn);
    say(QStringLiteral("%1 moves to the strong scheme with the new phrase: a compatible password is one of a few dozen "
                       "values whatever the phrase, a strong one is not. Its new password is shown; tick Moved once the "
                       "site has taken it.").arg(strong.identifier));
    emit ui->profilelist->currentItemChanged(item, item);
}

void phrasechangedialog::showPassword(QTreeWidgetItem *item, int column)
{
    const QString password = item->data(column, passwordRole).toString();
    if (!password.isEmpty())
        item->setText(column, ui->showbox->isChecked() ? password : hidden);
}

void phrasechangedialog::on_showbox_toggled(bool)
{
    const QSignalBlocker quiet(ui->profilelist);
    for (int i = 0; i < ui->profilelist->topLevelItemCount(); ++i) {
        for (int column : {PreviousColumn, NewColumn})
            showPassword(ui->profilelist->topLevelItem(i), column);
    }
}

void phrasechangedialog::markChanged(QTreeWidgetItem *item, int column)
{
    if (column != MovedColumn)
        return;
    QString line = item->data(ProfileColumn, lineRole).toString();
    const bool back = item->checkState(MovedColumn) != Qt::Checked;
    bool finished = false;
    // A profile moved to the strong scheme goes back as the compatible line it was.
    const QString original = item->data(ProfileColumn, originalLineRole).toString();
    const bool toStrong = !back && item->data(NewColumn, compatiblePasswordRole).isValid();
    Recipe strong;
    Recipe::fromLine(item->data(ProfileColumn, strongLineRole).toString(), &strong);
    PhraseChange::MoveResult result;
    if (back && !original.isEmpty()) {
        result = ProfileFile::replace(path, line, original) == ProfileFile::RemoveResult::Removed ? PhraseChange::MoveResult::Moved
                                                                                                : PhraseChange::MoveResult::Failed;
        if (result == PhraseChange::MoveResult::Moved) {
            item->setData(ProfileColumn, originalLineRole, QVariant());
            line = original;
        }
    } else {
        const QString before = line;
        result = PhraseChange::move(path, &line, back, &finished, toStrong ? &strong : nullptr);
        if (toStrong && result == PhraseChange::MoveResult::Moved)
            item->setData(ProfileColumn, originalLineRole, before);
    }
    const QSignalBlocker quiet(ui->profilelist);
    if (result == PhraseChange::MoveResult::Moved || result == PhraseChange::MoveResult::AlreadyMoved) {
        item->setData(ProfileColumn, lineRole, line);
        item->setToolTip(ProfileColumn, line);
    } else {
        item->setCheckState(MovedColumn, back ? Qt::Checked : Qt::Unchecked);
        say(result == PhraseChange::MoveResult::NoChange
                ? QStringLiteral("Every profile uses the new secret phrase now: the change is complete, so no profile "
                                 "can be marked back on the previous one.")
                : QStringLiteral("The mark could not be written: the profile file is busy, changed or cannot be written; "
                                 "try again."));
        return;
    }
    if (finished) {
        say(QStringLiteral("Every profile now uses the new secret phrase: the change is complete."));
        return;
    }
    PhraseChange::Status now;
    PhraseChange::status(path, &now);
    say(QStringLiteral("%1 of %2 profiles moved.").arg(now.moved.size()).arg(now.moved.size() + now.waiting.size()));
}

void phrasechangedialog::copy(int column)
{
    QTreeWidgetItem *item = ui->profilelist->currentItem();
    const QString password = item ? item->data(column, passwordRole).toString() : QString();
    if (!password.isEmpty())
        copyPassword(password);
}

void phrasechangedialog::on_copypreviousbutton_clicked()
{
    copy(PreviousColumn);
}

void phrasechangedialog::on_copynewbutton_clicked()
{
    copy(NewColumn);
}

void phrasechangedialog::on_closebutton_clicked()
{
    close();
}

void phrasechangedialog::done(int result)
{
    stop();
    // Nothing of either phrase stays behind the dialog.
    for (PhraseEdit *edit : {ui->previousedit, ui->newedit, ui->againedit})
        edit->clearPhrase();
    ui->previousfingerprint->clear();
    ui->newfingerprint->clear();
    QDialog::done(result);
}

void phrasechangedialog::stop()
{
    batch.stop();
    // No password stays behind the list.
    const QSignalBlocker quiet(ui->profilelist);
    for (int i = 0; i < ui->profilelist->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = ui->profilelist->topLevelItem(i);
        for (int column : {PreviousColumn, NewColumn}) {
            QString password = item->data(column, passwordRole).toString();
            item->setData(column, passwordRole, QVariant());
            item->setText(column, QString());
            wipe(password);
        }
    }
    ui->profilelist->clear();
}
