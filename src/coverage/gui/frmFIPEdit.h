// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <cstdint>

class Services;
class QGroupBox;
class QLabel;
class QLineEdit;

// The entry editor: adds a county that is not in the state database, or
// edits an entry's code, county name or state name. It is rebuilt each time
// the county window opens it.
class frmFIPEdit : public QDialog
{
    Q_OBJECT

public:
    enum Mode : int16_t { Add = 1, Edit = 2 };

    // What the county window asks of the editor.
    struct Request {
        int16_t mode = Add;
        int targetIndex = 0;     // list position that OK writes
        QString currentEntry;    // the entry being edited
    };

    frmFIPEdit(Services &services, const Request &request, QWidget *parent = nullptr);

    void setFrameCaption(const QString &caption);
    // The entry built on OK; valid once the editor was accepted.
    QString builtEntry() const { return m_built; }
    const Request &request() const { return m_request; }

    void FillBoxes();
    QString ConstructOutString() const;
    void FillInfo(int16_t ID);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void cmdOK_Click();

    Services &m_svc;
    Request m_request;
    QString m_built;
    QGroupBox *m_frame1 = nullptr;
    QLineEdit *m_txtFIP = nullptr;
    QLineEdit *m_txtCounty = nullptr;
    QLineEdit *m_txtState = nullptr;
    QLabel *m_lblInfo[4] = {};
};
