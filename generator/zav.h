#pragma once

#include "derivation.h"
#include "peerschemes.h"
#include "profilefile.h"
#include "rule.h"
#include "sitelist.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace Ui { class zav; }

class Clipboard;
class InputWatch;
class KeyWatch;

// How long secrets stay: the password on the clipboard, and the phrase and password in the
// window once nobody has used it. Tests shorten them.
struct SecretTimings
{
    int clipboardClearMs = 20000;
    int idleClearMs = 5 * 60 * 1000;
};

// Thin routines between the hand-over values (profilestate.h) and the profile file: Write
// appends the profile of pword_identifier, pword_length and pword_scheme and says whether it
// was stored; Read_save reads the file for the duplicate test of the save action and says
// whether it could.
bool Write();
ProfileFile::ReadStatus Read_save();

class zav : public QMainWindow
{
    Q_OBJECT

public:
    explicit zav(QWidget *parent = nullptr, SecretTimings timings = SecretTimings());
    ~zav() override;

private slots:
    void on_generatepass_clicked();
    void on_actionCalculate_Password_Strength_triggered();
    void on_actionHelp_Information_triggered();
    void on_actionCheck_For_Updates_triggered();
    void on_actionAbout_triggered();
    void on_actionSave_triggered();
    void on_actionRetrieve_triggered();
    void on_actionDelete_triggered();
    void on_actionImport_triggered();
    void on_actionLearn_More_triggered();
    void on_clear_parameters_clicked();
    void on_schemecombo_currentIndexChanged(int index);
    void on_rulecombo_currentIndexChanged(int index);
    void on_symbolsbox_toggled(bool checked);
    void on_inputtext_textChanged();
    void on_showphrasebutton_toggled(bool checked);
    void on_pword_identifier_le_returnPressed();
    void on_copybutton_clicked();
    void on_actionQuit_triggered();
    void on_siterulebutton_clicked();

private:
    Scheme selectedScheme() const;
    void selectScheme(Scheme scheme);
    // The rule the characters controls describe; false, with what is wrong, for Custom choices
    // that are no rule. The compatible scheme always has base64.
    bool selectedRule(Rule *rule, QString *problem) const;
    void selectRule(const Rule &rule);
    int selectedCounter() const;
    bool ruleOrNotice(Rule *rule) const;
    static void showRuleProblem(const QString &problem);
    QString deriveWhileBusy(const std::function<QString()> &derive);
    // LessPass and Spectre: the recipe their panel shows, and showing one.
    PeerRecipe selectedPeer() const;
    void selectPeer(const PeerRecipe &recipe);
    void generatePeer(const PeerRecipe &recipe, const QString &phrase);
    void savePeer();
    // Shows and copies a made password, or says that none could be made.
    void showDerived(const QString &password);

    // The shown password belongs to the inputs it was made from: any change empties it.
    void clearOutput();
    void showPhraseStrength();
    // After a notice, the focus goes to the field the notice is about.
    void focusRuleField();
    // A site rule's lengths narrow the length box; any other rule has 4 to 32.
    void fitLengthToRule();
    // Offers the rules of the site the identifier names while the characters are the default.
    void offerSiteRule();
    // The rule and length to make or save a password with, or a notice that says why not.
    bool ruleAndLengthOrNotice(Rule *rule, int length);
    // Spectre: the login name an imported site kept, carried with the profile and shown.
    void keepSpectreLogin(const QString &login);

    // Empties the phrase, the password, the entropy and the fingerprint, and their undo history.
    void clearSecrets();
    void clearIdleSecrets();

    Ui::zav *ui;
    Clipboard *clipboard;
    QTimer idle;
    std::unique_ptr<InputWatch> inputWatch;
    KeyWatch *enterWatch;
    SiteList::Match offeredSite;
    QString keptSpectreLogin;
};
