#include "saveaction.h"

#include "notices.h"
#include "profilestate.h"

#include <QDebug>

bool Write()
{
    qDebug() << pword_identifier;
    qDebug() << QString::number(pword_length, 10);
    return ProfileFile::append(profile_file_path, ProfileFile::newLine(profile_file_path, pword_recipe.line()))
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

namespace SaveAction {

Outcome save(const Recipe &recipe, const QString &panelProblem, QString *problem)
{
    pword_length = recipe.length;
    pword_identifier = recipe.identifier;
    pword_recipe = recipe;
    qDebug() << "*************  beginning of Save module ***********************";
    // The lock is held from the read to the append, so that no other window or quorvane-cli
    // writes between the duplicate test and the new line, and let go before any notice shows:
    // a notice left open must not keep other writers out.
    const ProfileFile::Lock lock(profile_file_path);
    if (lock.state() != ProfileFile::Lock::Held) {
        qDebug() << "the profile file could not be locked, nothing was saved";
        return lock.state() == ProfileFile::Lock::Busy ? Busy : NotLocked;
    }
    profile_list_text = QString("");
    const ProfileFile::ReadStatus status = Read_save();
    if (!ProfileFile::isValidIdentifier(pword_identifier)) {
        qDebug() << "the Password Identifier is empty or contains the | character please enter valid value";
        return Invalid;
    }
    if (!ProfileFile::isStorableIdentifier(pword_identifier)) {
        qDebug() << "the Password Identifier holds a character that the profile file cannot keep";
        return Unstorable;
    }
    if (!(*problem = panelProblem).isEmpty() || !(*problem = recipe.problem()).isEmpty()
        || !(*problem = recipe.storableProblem()).isEmpty())
        return BadRecipe;
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        qDebug() << "the profile file cannot be read, nothing was saved";
        return Unreadable;
    }
    if (ProfileFile::profilesIn(profile_lines).contains(recipe.line())) {
        qDebug() << "the profile already exists, cannot save";
        return Duplicate;
    }
    if (!Write()) {
        qDebug() << "the profile could not be written to the profile file";
        return NotWritten;
    }
    qDebug() << "Action Save called";
    return Saved;
}

void tell(Outcome outcome, const QString &problem)
{
    switch (outcome) {
    case Saved: showNotice<addprodialog>(); break;
    case Busy: showNotice<filebusy>(); break;
    case NotLocked: showNotice<notsaved>(); break;
    case Invalid: showNotice<empty>(); break;
    case Unstorable: showNotice<notstorable>(); break;
    case BadRecipe: badrule::showProblem(problem); break;
    case Unreadable: showNotice<notread>(); break;
    case Duplicate: showNotice<savedalready>(); break;
    case NotWritten: showNotice<notsaved>(); break;
    }
}

}
