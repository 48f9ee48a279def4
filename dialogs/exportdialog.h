#pragma once

#include "batch.h"
#include "export.h"

#include <QDialog>
#include <QString>

namespace Ui { class exportdialog; }

// File > Export...: every saved profile into a new file for another password manager (or as
// LessPass's own profiles file), with a warning that the file holds every password in clear, the
// phrase with its fingerprint, and the passwords made in the background with a progress bar and
// Cancel. The file is written whole at the end, mode 0600, never over an existing one; nothing at
// all when cancelled.
class exportdialog : public QDialog
{
    Q_OBJECT

public:
    explicit exportdialog(const QString &profilePath, QWidget *parent = nullptr);
    ~exportdialog() override;   // stops the derivations, wipes the phrase and the passwords

private slots:
    void on_exportbutton_clicked();
    void on_cancelbutton_clicked();
    void on_closebutton_clicked();
    void on_formatcombo_currentIndexChanged(int index);

protected:
    void done(int result) override;

private:
    Export::Format format() const;
    void derived(int row, const QString &password);
    void finish();
    void stop();
    void setRunning(bool running);

    Ui::exportdialog *ui;
    QString path;
    QString target;
    QList<Export::Entry> entries;
    int made = 0;
    Batch::Background batch;
};
