#include "profilestate.h"

#include "profilefile.h"

QString profile_file_path;

int pword_length = 0;
QString pword_identifier;
QString retrieved_identifier;
Recipe pword_recipe;

QString profile_list_text;
QString profile_line_text;
QStringList profile_lines;
QStringList profile_delete_list;

ProfileFile::ReadStatus readProfileValues()
{
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(profile_file_path, &lines);
    if (status != ProfileFile::ReadStatus::Read) {
        profile_lines.clear();
        return status;
    }
    profile_lines = lines;
    profile_list_text = ProfileFile::listText(lines);
    profile_line_text = QString();
    return status;
}
