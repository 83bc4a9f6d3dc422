// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/frmFIPEdit.h"

#include "coverage/core/CountyEntries.h"
#include "coverage/gui/CoverageUi.h"
#include "widgets/NamedWidgets.h"
#include "base/Services.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

// The parameter data file splits an item at a comma and strips double
// quotes, so an entry holding either would come back broken at the next
// start: the boxes refuse both.
QValidator *entryValidator(QObject *parent, bool blanks)
{
    return new QRegularExpressionValidator(
        QRegularExpression(blanks ? QStringLiteral("[^,\"]*") : QStringLiteral("[^,\" ]*")), parent);
}

// The code box takes no blanks either: the entry is built from the trimmed
// code, so "12085 " would pass the length check and then leave a five-
// character code that shifts every column of the entry.
QLineEdit *makeBox(QWidget *parent, const QString &name, int maxLength, bool blanks = true)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(maxLength);
    box->setFont(Widgets::fixedFont());
    box->setValidator(entryValidator(box, blanks));
    const QFontMetrics fm(box->font());
    box->setMinimumWidth(fm.horizontalAdvance(QString(maxLength + 2, QLatin1Char('W'))));
    return box;
}

} // namespace

frmFIPEdit::frmFIPEdit(Services &services, const Request &request, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_request(request)
{
    setObjectName(QStringLiteral("frmFIPEdit"));
    setWindowTitle(QStringLiteral(" NX-4400C FIPS Editor"));
    setModal(true);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_txtFIP = makeBox(m_frame1, QStringLiteral("txtFIP"), CountyEntries::FipLength, false);
    m_txtCounty = makeBox(m_frame1, QStringLiteral("txtCounty"), CountyEntries::CountyMaxLength);
    m_txtState = makeBox(m_frame1, QStringLiteral("txtState"), CountyEntries::StateMaxLength);
    auto *boxes = new QGridLayout(m_frame1);
    boxes->addWidget(Widgets::heading(m_frame1, QStringLiteral("lblFIP"), QStringLiteral("FIP Number"), m_txtFIP), 0, 0);
    boxes->addWidget(Widgets::heading(m_frame1, QStringLiteral("lblCounty"), QStringLiteral("County Name"), m_txtCounty), 0, 1);
    boxes->addWidget(Widgets::heading(m_frame1, QStringLiteral("lblStateName"), QStringLiteral("State"), m_txtState), 0, 2);
    boxes->addWidget(m_txtFIP, 1, 0);
    boxes->addWidget(m_txtCounty, 1, 1);
    boxes->addWidget(m_txtState, 1, 2);

    auto *info = new QVBoxLayout;
    info->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        m_lblInfo[i] = Widgets::label(this, Widgets::arrayName("lblInfo", i), QString(),
                                      QStringLiteral("Instruction %1").arg(i + 1));
        info->addWidget(m_lblInfo[i]);
    }

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &frmFIPEdit::cmdOK_Click);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Widgets::picture(this, QStringLiteral("fips"), QStringLiteral("FIP codes")), 0,
                       Qt::AlignHCenter);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *left = new QVBoxLayout;
    left->addWidget(m_frame1);
    left->addLayout(info);
    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);
}

void frmFIPEdit::setFrameCaption(const QString &caption)
{
    m_frame1->setTitle(caption);
    m_frame1->setAccessibleName(caption.trimmed());
}

void frmFIPEdit::FillBoxes()
{
    const CountyEntries::Boxes b = CountyEntries::FillBoxes(m_request.currentEntry);
    m_txtFIP->setText(b.fip);
    m_txtCounty->setText(b.county);
    m_txtState->setText(b.state);
}

QString frmFIPEdit::ConstructOutString() const
{
    return CountyEntries::ConstructOutString(m_txtFIP->text(), m_txtCounty->text(), m_txtState->text());
}

void frmFIPEdit::FillInfo(int16_t ID)
{
    QStringList texts;
    if (ID == Add) {
        texts = {QStringLiteral("1.  Enter the six (6) digit FIP Number."),
                 QStringLiteral("2.  Enter County Name (18 caracters max)."),
                 QStringLiteral("3.  Enter State Name (15 caracters max)."),
                 QStringLiteral("4.  Click OK to save your data.")};
    } else if (ID == Edit) {
        texts = {QStringLiteral("1.  Click within the box you want to edit."),
                 QStringLiteral("2.  Edit the entry as desired."),
                 QStringLiteral("3.  Click OK to save your data."), QString()};
    } else {
        return;
    }
    for (int i = 0; i < 4; ++i)
        m_lblInfo[i]->setText(texts.at(i));
}

void frmFIPEdit::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_request.mode == Edit) {
        FillBoxes();
    } else if (m_request.mode == Add) {
        m_txtFIP->clear();
        m_txtCounty->clear();
        m_txtState->clear();
    }
    FillInfo(m_request.mode);
    m_txtFIP->setFocus();
}

void frmFIPEdit::cmdOK_Click()
{
    const QString built = ConstructOutString();
    // Only the length of the code is checked, as typed.
    if (m_txtFIP->text().size() == CountyEntries::FipLength) {
        m_built = built;
        accept();
        return;
    }
    m_svc.prompter().ask(QStringLiteral(" NX-4400 Digital Weather Receiver"),
                         QStringLiteral(" Error.. FIP Code Entry Incorrect Digit Length. \r\n"
                                        " Valid FIP Codes Are Six (6) Digits. \r\n"),
                         Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}
