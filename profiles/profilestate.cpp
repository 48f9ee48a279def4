#include "profilestate.h"

#include "profilefile.h"

QString profile_file_path;

int pword_length = 0;
QString pword_identifier;
QString retrieved_identifier;
Scheme pword_scheme = Scheme::Strong;

QString profile_list_text;
QString profile_line_text;
QStringList profile_lines;
QStringList profile_delete_list;

bool readProfileValues()
{
    QStringList lines;
    if (!ProfileFile::readLines(profile_file_path, &lines)) {
        profile_lines.clear();
        return false;
    }
    profile_lines = lines;
    profile_list_text = ProfileFile::listText(lines);
    profile_line_text = QString();
    return true;
}
