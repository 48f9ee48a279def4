#include "zav.h"
#include "ui_zav.h"

#include "changepassworddialog.h"
#include "busywindow.h"
#include "clipboard.h"
#include "deletedialog.h"
#include "exportdialog.h"
#include "idlewatch.h"
#include "lesspasspanel.h"
#include "listdialog.h"
#include "notices.h"
#include "phrasechange.h"
#include "phrasechangedialog.h"
#include "phrasestrength.h"
#include "profilefile.h"
#include "profilestate.h"
#include "saveaction.h"
#include "spectrepanel.h"
#include "strengthdialog.h"
#include "strongpanel.h"
#include "sync.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QHash>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>

namespace {

const char makerSite[] = "https://www.quorvane.org/";

void openPage(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

}

zav::zav(QWidget *parent, SecretTimings timings)
    : QMainWindow(parent, Qt::WindowFlags()), ui(new Ui::zav), clipboard(new Clipboard(timings.clipboardClearMs, this))
{
    ui->setupUi(this);
    // The phrase box holds three lines, whatever the window's size or the scheme's panel.
    const QMargins inner = ui->inputtext->contentsMargins();
    ui->inputtext->setFixedHeight(3 * ui->inputtext->fontMetrics().lineSpacing()
                                  + int(2 * ui->inputtext->document()->documentMargin()) + inner.top() + inner.bottom());
    // Every password shows whole: the longest, LessPass's 35 characters, in the fixed font.
    ui->passwordoutput->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QMargins text = ui->passwordoutput->textMargins();
    ui->passwordoutput->setMinimumWidth(QFontMetrics(ui->passwordoutput->font()).horizontalAdvance(QString(36, QLatin1Char('W')))
                                        + text.left() + text.right() + 12);
    // The rating's room is kept from the start (its widest text, bold): the entropy box does not
    // move when a rating appears.
    {
        QFont bold = ui->passwordquality->font();
        bold.setBold(true);
        ui->passwordquality->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(QStringLiteral("bits, excellent")) + 4);
    }
    // Under the password, for as long as it stands there: that it is still the previous phrase's.
    phraseNote = new QLabel(this);
    phraseNote->setObjectName(QStringLiteral("phrasenote"));
    phraseNote->setWordWrap(true);
    phraseNote->setTextFormat(Qt::PlainText);
    phraseNote->setAccessibleName(QStringLiteral("Previous secret phrase"));
    phraseNote->hide();
    ui->verticalLayout->insertWidget(ui->verticalLayout->indexOf(ui->horizontalLayout_2) + 1, phraseNote);
    connect(ui->passwordoutput, &QLineEdit::textChanged, phraseNote, &QLabel::hide);
    // A passphrase of twelve long words is wider than the field: its start shows, the whole in
    // the tooltip (gone with the password).
    connect(ui->passwordoutput, &QLineEdit::textChanged, this, [this](const QString &text) {
        ui->passwordoutput->setToolTip(text.size() > 35 ? text : QString());
        ui->passwordoutput->setCursorPosition(0);
    });
    connect(clipboard, &Clipboard::status, this, [this](const QString &text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    idle = new IdleWatch(timings.idleClearMs, this);
    connect(idle, &IdleWatch::idle, this, &zav::clearIdleSecrets);

    // The schemes, in the order of the scheme box; the strong and compatible schemes share
    // their fields.
    auto *strong = new StrongPanel;
    choices = {{Scheme::Strong, strong},
               {Scheme::Compatible, strong},
               {Scheme::LessPass, new LessPassPanel},
               {Scheme::Spectre, new SpectrePanel}};
    const QStringList titles{QStringLiteral("Strong"), QStringLiteral("Compatible (original passwords)"),
                             QStringLiteral("LessPass"), QStringLiteral("Spectre")};
    const QSignalBlocker quiet(ui->schemecombo);
    for (int i = 0; i < choices.size(); ++i) {
        ui->schemecombo->addItem(titles.at(i));
        SchemePanel *panel = choices.at(i).panel;
        if (ui->schemestack->indexOf(panel) >= 0)
            continue;
        ui->schemestack->addWidget(panel);
        connect(panel, &SchemePanel::changed, this, &zav::clearOutput);
        connect(panel, &SchemePanel::submitted, ui->generatepass, &QPushButton::click);
    }

    // The keyboard: Enter generates from the phrase, the identifier and the panels' fields; the
    // menu actions carry their own shortcuts.
    clipboard->watch(ui->passwordoutput);
    connect(ui->inputtext, &PhraseEdit::submitted, ui->generatepass, &QPushButton::click);
    connect(ui->inputtext, &PhraseEdit::phraseChanged, this, &zav::phraseChanged);
    // The fingerprint of a whole phrase only: when the user moves on from the phrase (and when
    // a password is made), never while it is typed.
    connect(ui->inputtext, &PhraseEdit::left, this, [this] { ui->fingerprintview->setPhrase(ui->inputtext->phrase()); });
    // A copy of the shown phrase goes as a password's does: marked for clipboard histories to
    // leave out, and cleared after the same time.
    connect(ui->inputtext, &PhraseEdit::copied, clipboard, &Clipboard::setPassword);
    connect(ui->inputtext, &PhraseEdit::refused, this, [] { showNotice<phrasetoolong>(); });
    auto *clearKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+L")), this);
    connect(clearKey, &QShortcut::activated, ui->clear_parameters, &QPushButton::click);

    // A password stays only beside the inputs it was made from.
    connect(ui->schemecombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &zav::clearOutput);
    connect(ui->pword_identifier_le, &QLineEdit::textChanged, this, [this](const QString &identifier) {
        for (const SchemeChoice &choice : qAsConst(choices))
            choice.panel->setIdentifier(identifier);
        clearOutput();
    });
    ui->phrasebreakhint->hide();
    ui->copybutton->setEnabled(false);
    showPhraseStrength();
    chainTabs();
    ui->inputtext->setFocus();
    on_schemecombo_currentIndexChanged(ui->schemecombo->currentIndex());
}

zav::~zav()
{
    // Leaves the clipboard clean if it still holds our password, while the window is whole.
    disconnect(clipboard, nullptr, this, nullptr);
    delete clipboard;
    delete ui;
}

void zav::chainTabs()
{
    // The original's order, phrase then identifier: a site typed after a Tab lands in its field.
    QList<QWidget *> chain{ui->inputtext, ui->pword_identifier_le, ui->showphrasebutton, ui->schemecombo};
    for (int i = 0; i < ui->schemestack->count(); ++i)
        chain += static_cast<SchemePanel *>(ui->schemestack->widget(i))->fields();
    chain += {ui->generatepass, ui->copybutton, ui->passwordoutput, ui->entropyout, ui->clear_parameters};
    for (int i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain.at(i), chain.at(i + 1));
}

const zav::SchemeChoice &zav::currentChoice() const
{
    return choices.at(qBound(0, ui->schemecombo->currentIndex(), choices.size() - 1));
}

void zav::selectScheme(Scheme scheme)
{
    for (int i = 0; i < choices.size(); ++i) {
        if (choices.at(i).scheme == scheme)
            ui->schemecombo->setCurrentIndex(i);
    }
}

void zav::on_schemecombo_currentIndexChanged(int)
{
    // The size the window had before this panel, unless it was only the one fitted to the last.
    if (size() != fittedSize)
        restingSize = size();
    const SchemeChoice &choice = currentChoice();
    choice.panel->setScheme(choice.scheme);
    // The widest panel gives the window its width, whatever the scheme; the chosen one alone its
    // height.
    for (int i = 0; i < ui->schemestack->count(); ++i) {
        QWidget *page = ui->schemestack->widget(i);
        page->setSizePolicy(QSizePolicy::Preferred, page == choice.panel ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    }
    ui->schemestack->setCurrentWidget(choice.panel);
    ui->entropyout->setToolTip(choice.panel->recipe().entropyNote());
    showPhraseStrength();
    fitToPanel();
}

void zav::fitToPanel()
{
    ui->schemestack->updateGeometry();
    centralWidget()->layout()->activate();
    layout()->activate();
    if (isMaximized() || isFullScreen())
        return;
    resize(restingSize.expandedTo(minimumSizeHint()));
    fittedSize = size();
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
    ui->passwordquality->clear();
    ui->copybutton->setEnabled(false);
}

void zav::showPhraseStrength()
{
    if (currentChoice().scheme == Scheme::Compatible) {
        ui->phrasestrength->setText(QStringLiteral("Phrase strength: does not protect compatible passwords"));
        return;
    }
    const QString phrase = ui->inputtext->phrase();
    ui->phrasestrength->setText(phrase.isEmpty() ? QStringLiteral("Phrase strength: none yet")
                                                 : QStringLiteral("Phrase strength: ")
                                                       + PhraseStrength::text(PhraseStrength::of(phrase)));
}

void zav::clearIdleSecrets()
{
    // A password being made is the user's last action, not their absence: the wait starts again.
    if (!isEnabled()) {
        idle->restart();
        return;
    }
    if (ui->inputtext->document()->isEmpty() && ui->passwordoutput->text().isEmpty())
        return;
    clearSecrets();
    clipboard->clearIfOurs();
    statusBar()->showMessage(QStringLiteral("Phrase and password cleared after %1 minutes without use")
                                 .arg(qMax(1, idle->interval() / 60000)));
}

bool zav::recipeOrNotice(Recipe *recipe)
{
    SchemePanel *panel = currentChoice().panel;
    *recipe = panel->recipe();
    QString problem = panel->inputProblem();
    if (problem.isEmpty()) {
        panel->showKept(*recipe);
        problem = recipe->problem();
    }
    if (problem.isEmpty())
        return true;
    badrule::showProblem(problem);
    panel->focusProblem(*recipe);
    return false;
}

void zav::showDerived(const QString &password, const Recipe &recipe)
{
    if (password.isNull()) {
        showNotice<notderived>();
        return;
    }
    // The figure, then its unit and rating beside it, coloured as the rating: a password of the
    // original program's start length shows as poor at once.
    static const QHash<QString, QString> colours{{QStringLiteral("poor"), QStringLiteral("#b00020")},
                                                 {QStringLiteral("weak"), QStringLiteral("#a85800")},
                                                 {QStringLiteral("good"), QStringLiteral("#2b7a0b")},
                                                 {QStringLiteral("excellent"), QStringLiteral("#1b5e20")}};
    const QString rating = recipe.rating();
    ui->passwordquality->setText(QStringLiteral("bits, %1").arg(rating));
    ui->passwordquality->setStyleSheet(QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(colours.value(rating)));
    ui->passwordquality->setAccessibleDescription(QStringLiteral("%1 bits, %2").arg(recipe.entropyText(), rating));
    ui->passwordoutput->setText(password);
    ui->copybutton->setEnabled(true);
    clipboard->setPassword(password);
}

void zav::on_generatepass_clicked()
{
    Recipe recipe;
    const bool made = recipeOrNotice(&recipe);
    pword_length = recipe.length;
    if (!made)
        return;
    ui->entropyout->setText(recipe.entropyText());

    const QString phrase = ui->inputtext->phrase();
    if (phrase.isEmpty()) {
        showNotice<emptysecret>();
        qDebug() << "Issue message that Secret Phrase is empty";
        ui->inputtext->setFocus();
        return;
    }

    pword_identifier = recipe.identifier;
    if (recipe.identifierRefused()) {
        showNotice<inputmsg1>();
        ui->pword_identifier_le->setFocus();
        return;
    }
    ui->fingerprintview->setPhrase(phrase);
    const QString password = BusyWindow::derive(this, [&] { return recipe.derive(phrase); });
    // A password only ever stands beside the phrase it was made from: one emptied meanwhile
    // gets none.
    if (ui->inputtext->phrase() != phrase)
        return;
    showDerived(password, recipe);
    if (!password.isNull())
        noteWaitingProfile(recipe);
}

void zav::mergeSyncCopies()
{
    const QStringList said = Sync::mergeCopies(profile_file_path).messages();
    if (!said.isEmpty()) {
        QString text = said.join(QStringLiteral("; "));
        statusBar()->showMessage(text.left(1).toUpper() + text.mid(1));
    }
}

void zav::noteWaitingProfile(const Recipe &recipe)
{
    if (!PhraseChange::waitsForTheNewPhrase(profile_file_path, recipe))
        return;
    const QString text = QStringLiteral("%1 still uses your previous secret phrase").arg(recipe.identifier);
    statusBar()->showMessage(text);
    phraseNote->setText(QStringLiteral("This is the password of your previous secret phrase: %1 still uses it.")
                            .arg(recipe.identifier));
    phraseNote->show();
}

void zav::on_actionCalculate_Password_Strength_triggered()
{
    // Computed here: no password or phrase is ever typed into a web page.
    strengthdialog::showFor(currentChoice().panel->recipe(), ui->inputtext->phrase(),
                            ui->passwordoutput->text().isEmpty() ? QString() : ui->entropyout->text());
}

void zav::on_actionHelp_Information_triggered()
{
    // The user guide of this very version, shipped with it: beside the program in a build
    // folder, under share/doc/quorvane/ once installed. No network needed.
    const QString folder = QCoreApplication::applicationDirPath();
    const QStringList places{folder + QStringLiteral("/doc/user-guide.html"),
                             folder + QStringLiteral("/../doc/user-guide.html"),   // the tests, one folder down
                             folder + QStringLiteral("/../share/doc/quorvane/user-guide.html"),
                             QStringLiteral("/usr/share/doc/quorvane/user-guide.html")};
    for (const QString &place : places) {
        if (QFileInfo(place).isFile()) {
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(place).canonicalFilePath())))
                statusBar()->showMessage(QStringLiteral("The user guide could not be opened: no program here shows web "
                                                        "pages. It is %1").arg(QFileInfo(place).canonicalFilePath()));
            return;
        }
    }
    statusBar()->showMessage(QStringLiteral("The user guide is not installed here: it is docs/user-guide.md of Quorvane's "
                                            "source"));
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
    mergeSyncCopies();
    SchemePanel *panel = currentChoice().panel;
    const Recipe recipe = panel->recipe();
    QString problem;
    const SaveAction::Outcome outcome = SaveAction::save(recipe, panel->inputProblem(), &problem);
    if (panel->inputProblem().isEmpty())
        panel->showKept(recipe);
    SaveAction::tell(outcome, problem);
    if (outcome == SaveAction::Invalid || outcome == SaveAction::Unstorable || outcome == SaveAction::Duplicate)
        ui->pword_identifier_le->setFocus();
    else if (outcome == SaveAction::BadRecipe)
        panel->focusProblem(recipe);
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
    mergeSyncCopies();
    if (!profileFileUsable())
        return;
    listdialog dialog;
    dialog.setModal(true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ui->pword_identifier_le->setText(retrieved_identifier);
    selectScheme(pword_recipe.scheme);
    currentChoice().panel->setRecipe(pword_recipe);
    clearOutput();
    // The next thing typed is the phrase: no character of it goes to another field.
    ui->inputtext->setFocus(Qt::OtherFocusReason);
}

void zav::on_actionDelete_triggered()
{
    mergeSyncCopies();
    if (!profileFileUsable())
        return;
    deletedialog dialog;
    dialog.setModal(true);
    dialog.exec();
    if (!dialog.deleted().isEmpty())
        statusBar()->showMessage(QStringLiteral("Deleted the profile %1").arg(ProfileFile::rowLabel(dialog.deleted())));
}

void zav::on_actionImport_triggered()
{
    mergeSyncCopies();
    importreport::importSiteList(this, profile_file_path);
}

void zav::on_actionChange_Password_triggered()
{
    mergeSyncCopies();
    Recipe recipe;
    if (!recipeOrNotice(&recipe))
        return;
    const QString phrase = ui->inputtext->phrase();
    if (phrase.isEmpty()) {
        showNotice<emptysecret>();
        ui->inputtext->setFocus();
        return;
    }
    if (recipe.identifierRefused()) {
        showNotice<inputmsg1>();
        ui->pword_identifier_le->setFocus();
        return;
    }
    ui->fingerprintview->setPhrase(phrase);
    Recipe next;
    if (!changepassworddialog::changeVersion(recipe, phrase, profile_file_path, copyPassword(), &next))
        return;
    // The window shows the version now saved, so that Generate gives its password.
    selectScheme(next.scheme);
    currentChoice().panel->setRecipe(next);
    clearOutput();
    statusBar()->showMessage(QStringLiteral("%1 is now at %2").arg(next.identifier, next.versionText()));
}

void zav::on_actionExport_triggered()
{
    mergeSyncCopies();
    if (!profileFileUsable())
        return;
    exportdialog dialog(profile_file_path);
    dialog.setModal(true);
    dialog.exec();
}

void zav::on_actionChange_Secret_Phrase_triggered()
{
    mergeSyncCopies();
    if (!profileFileUsable())
        return;
    phrasechangedialog dialog(profile_file_path, copyPassword());
    connect(&dialog, &phrasechangedialog::status, statusBar(), [this](const QString &text) {
        statusBar()->showMessage(text);
    });
    dialog.setModal(true);
    dialog.exec();
}

void zav::on_clear_parameters_clicked()
{
    selectScheme(Scheme::Strong);
    for (int i = 0; i < ui->schemestack->count(); ++i)
        static_cast<SchemePanel *>(ui->schemestack->widget(i))->reset();
    ui->pword_identifier_le->setText(QString());
    clearSecrets();
    clipboard->clearNow();
}

void zav::phraseChanged()
{
    const QString phrase = ui->inputtext->phrase();
    // A changed phrase is no longer the one the shapes stood for.
    ui->fingerprintview->clear();
    ui->phrasebreakhint->setVisible(phrase.contains(QLatin1Char('\n')));
    showPhraseStrength();
    clearOutput();
}

void zav::on_showphrasebutton_toggled(bool checked)
{
    // The button says what a press will do.
    ui->showphrasebutton->setText(checked ? QStringLiteral("Hide") : QStringLiteral("Show"));
    ui->showphrasebutton->setAccessibleName(checked ? QStringLiteral("Hide phrase") : QStringLiteral("Show phrase"));
    ui->inputtext->setConcealed(!checked);
    ui->inputtext->setFocus();
}

void zav::on_pword_identifier_le_returnPressed()
{
    ui->generatepass->click();
}

std::function<void(const QString &)> zav::copyPassword()
{
    return [this](const QString &password) { clipboard->setPassword(password); };
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
