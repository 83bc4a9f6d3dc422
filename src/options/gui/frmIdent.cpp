// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/frmIdent.h"

#include "options/gui/OptionPage.h"
#include "widgets/NamedWidgets.h"
#include "base/Services.h"
#include "config/core/ReceiverConfig.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

using namespace OptionPage;
using namespace Widgets;

// ---- IdentEdit ---------------------------------------------------------------

namespace {

// The last guard behind the filters of IdentEdit: the line edit runs every
// change through its validator, which may rewrite the text. Any path into
// the box that the filters do not cover (undo history, a platform's own
// paste) is filtered here the same way.
class CallLettersValidator : public QValidator
{
public:
    CallLettersValidator(std::function<void()> beep, QObject *parent)
        : QValidator(parent)
        , m_beep(std::move(beep))
    {
    }

    State validate(QString &input, int &pos) const override
    {
        bool refused = false;
        QString kept = IdentEdit::filterText(input, &refused);
        if (kept.size() > IdentEdit::MaxCharacters) {
            kept.truncate(IdentEdit::MaxCharacters);
            refused = true;
        }
        if (kept != input) {
            // Keep the cursor after the characters that stayed before it.
            pos = qMin<int>(IdentEdit::filterText(input.left(pos)).size(), kept.size());
            input = kept;
        }
        if (refused && m_beep)
            m_beep();
        return Acceptable;
    }

private:
    std::function<void()> m_beep;
};

} // namespace

IdentEdit::IdentEdit(std::function<void()> beep, QWidget *parent)
    : QLineEdit(parent)
    , m_beep(std::move(beep))
{
    setMaxLength(MaxCharacters);
    setValidator(new CallLettersValidator(m_beep, this));
}

QChar IdentEdit::filterKey(QChar key)
{
    const ushort c = key.unicode();
    if (c == 8)
        return key;
    if (c > 'z' || c < '0')
        return QChar();
    if (c > 'Z' && c < 'a')
        return QChar();
    if (c > '9' && c < 'A')
        return QChar();
    return key.toUpper();
}

QString IdentEdit::filterText(const QString &text, bool *refused)
{
    QString out;
    bool dropped = false;
    for (QChar ch : text) {
        const QChar f = ch.unicode() == 8 ? QChar() : filterKey(ch);
        if (f.isNull())
            dropped = true;
        else
            out.append(f);
    }
    if (refused)
        *refused = dropped;
    return out;
}

void IdentEdit::insertFiltered(const QString &text)
{
    bool refused = false;
    QString accepted = filterText(text, &refused);
    const int room = MaxCharacters - (this->text().size() - selectedText().size());
    if (accepted.size() > room) {
        accepted.truncate(qMax(0, room));
        refused = true;
    }
    if (!accepted.isEmpty())
        insert(accepted);
    if (refused && m_beep)
        m_beep();
}

void IdentEdit::pasteFiltered(bool selection)
{
    if (isReadOnly())
        return;
    const QString text = QGuiApplication::clipboard()->text(selection ? QClipboard::Selection
                                                                       : QClipboard::Clipboard);
    if (!text.isEmpty())
        insertFiltered(text);
}

void IdentEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        pasteFiltered();
        event->accept();
        return;
    }
    const QString text = event->text();
    const int key = event->key();
    // Keys that edit or move without typing a character, shortcuts (copy,
    // cut, undo, select all), Escape (the page's Cancel) and Tab go to the
    // box or the dialog as usual. Ctrl+Alt is AltGr on some keyboards and
    // types characters, which the filter below sees.
    if (text.isEmpty() || key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Escape
        || key == Qt::Key_Tab || key == Qt::Key_Backtab
        || ((event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
            && !(event->modifiers() & Qt::AltModifier))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Every other key types characters: each passes the filter on its own,
    // and each refusal (including a sixteenth character) beeps.
    event->accept();
    for (QChar ch : text) {
        const QChar f = filterKey(ch);
        const bool full = this->text().size() - selectedText().size() >= MaxCharacters;
        if (f.isNull() || full) {
            if (m_beep)
                m_beep();
            continue;
        }
        insert(QString(f));
    }
}

void IdentEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (event->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // Let the box finish the composition without the committed text, then
    // put that text through the filter.
    QInputMethodEvent rest(event->preeditString(), event->attributes());
    rest.setCommitString(QString(), event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&rest);
    insertFiltered(event->commitString());
    event->accept();
}

void IdentEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        deselect();
        pasteFiltered(true);
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void IdentEdit::dropEvent(QDropEvent *event)
{
    // Moving text inside the box only rearranges characters already allowed.
    if (event->source() == this || isReadOnly() || !event->mimeData()->hasText()) {
        QLineEdit::dropEvent(event);
        return;
    }
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    deselect();
    insertFiltered(event->mimeData()->text());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setFocus(Qt::MouseFocusReason);
}

void IdentEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction *paste = pasteAction(menu)) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] { pasteFiltered(); });
    }
    menu->popup(event->globalPos());
}

QAction *IdentEdit::pasteAction(QMenu *menu)
{
    // The standard menu's entry, found by the line edit's own caption.
    const QString caption = QCoreApplication::translate("QLineEdit", "&Paste");
    const QList<QAction *> actions = menu->actions();
    for (QAction *a : actions)
        if (a->objectName() == QLatin1String("edit-paste") || a->text().section(QLatin1Char('\t'), 0, 0) == caption)
            return a;
    return nullptr;
}

// ---- frmIdent ----------------------------------------------------------------

frmIdent::frmIdent(Services &services, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_config(config)
{
    setObjectName(QStringLiteral("frmIdent"));
    setWindowTitle(QStringLiteral(" Station Identification"));
    setModal(true);

    m_chkID[0] = checkBox(this, arrayName("chkID", 0),
                          QStringLiteral("Append station identification after weather alert announcements"));

    m_frame = frame(this, QStringLiteral("fraIdent"), QStringLiteral(" Station Identification "));
    auto *lay = new QVBoxLayout(m_frame);
    m_chkID[1] = checkBox(m_frame, arrayName("chkID", 1),
                          QStringLiteral("Preceed identification with voice words \"This Is\"."));
    m_chkID[2] = checkBox(m_frame, arrayName("chkID", 2),
                          QStringLiteral("After identification say voice word \"Repeater\""));
    m_chkID[3] = checkBox(m_frame, arrayName("chkID", 3),
                          QStringLiteral("After identification say voice word \"Transmitter\""));
    for (int i = 1; i < 4; ++i)
        lay->addWidget(m_chkID[i]);
    lay->addSpacing(8);

    m_lblText[0] = new QLabel(QStringLiteral("Station Identification Call Letters"), m_frame);
    m_lblText[0]->setObjectName(arrayName("lblText", 0));
    m_lblText[0]->setAccessibleName(m_lblText[0]->text());
    lay->addWidget(m_lblText[0]);

    auto *entry = new QHBoxLayout;
    m_txtIdent = new IdentEdit([this] { m_svc.prompter().beep(); }, m_frame);
    m_txtIdent->setObjectName(QStringLiteral("txtIdent"));
    m_txtIdent->setAccessibleName(QStringLiteral("Station Identification Call Letters"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_txtIdent->setFont(fixed);
    // Room for fifteen characters of the fixed-pitch font and the frame.
    m_txtIdent->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QLatin1Char('W')) * 17 + 12);
    m_lblText[0]->setBuddy(m_txtIdent);
    m_cmdErase = button(m_frame, QStringLiteral("cmdErase"), QStringLiteral("Clear"), 88);
    m_cmdErase->setAutoDefault(false);
    entry->addWidget(m_txtIdent);
    entry->addWidget(m_cmdErase);
    entry->addStretch(1);
    lay->addLayout(entry);

    m_lblText[1] = new QLabel(QStringLiteral("Valid Characters are  A-Z,  0-9    Fifteen (15) characters maximum."),
                              m_frame);
    m_lblText[1]->setObjectName(arrayName("lblText", 1));
    m_lblText[1]->setAccessibleName(m_lblText[1]->text());
    lay->addWidget(m_lblText[1]);

    auto *left = new QVBoxLayout;
    left->addWidget(m_chkID[0]);
    left->addWidget(m_frame);
    left->addStretch(1);

    auto *side = new QVBoxLayout;
    side->addWidget(picture(this, QStringLiteral("ident"), QStringLiteral("Identification")), 0, Qt::AlignHCenter);
    side->addSpacing(8);
    QPushButton *ok = button(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), 88);
    QPushButton *cancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 88);
    // Enter confirms from anywhere but the call letters box, where it is
    // refused like every other control key.
    ok->setDefault(true);
    side->addWidget(ok);
    side->addWidget(cancel);
    side->addStretch(1);

    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(side);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_chkID[0], &QCheckBox::toggled, this, &frmIdent::UpdateEnabled);
    connect(m_cmdErase, &QPushButton::clicked, this, &frmIdent::cmdErase_Click);
    connect(ok, &QPushButton::clicked, this, &frmIdent::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    GetData();
}

void frmIdent::GetData()
{
    const ReceiverConfig &c = m_config;
    m_chkID[0]->setChecked(c.GiveStationID);
    m_chkID[1]->setChecked(c.AppendThisIs);
    m_chkID[2]->setChecked(c.AppendRepeater);
    m_chkID[3]->setChecked(c.AppendTransmitter);
    // A settings store edited by hand may hold characters the receiver
    // cannot speak or too many of them; show what the box can hold, so OK
    // never writes anything else back.
    m_txtIdent->setText(IdentEdit::filterText(c.UserStationID).left(IdentEdit::MaxCharacters));
    UpdateEnabled();
}

void frmIdent::UpdateEnabled()
{
    const bool on = m_chkID[0]->checkState() != Qt::Unchecked;
    // The frame carries its check boxes, labels, text box and "Clear".
    m_frame->setEnabled(on);
}

void frmIdent::cmdErase_Click()
{
    if (m_txtIdent->text().isEmpty())
        m_svc.prompter().beep();
    else
        m_txtIdent->clear();
    m_txtIdent->setFocus();
}

void frmIdent::cmdOK_Click()
{
    const bool wanted = m_chkID[0]->checkState() == Qt::Checked;
    const QString text = m_txtIdent->text();
    if (wanted && text.isEmpty()) {
        m_svc.prompter().ask(QStringLiteral("NX-4400 Digital Weather Receiver"),
                             QStringLiteral("Error..No Identification Entered"),
                             Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        m_txtIdent->setFocus();
        return;
    }

    ReceiverConfig &c = m_config;
    if (wanted) {
        c.GiveStationID = true;
        c.UserStationID = text;
    } else {
        // Call letters typed while identification is off are not kept.
        c.GiveStationID = false;
    }
    c.AppendThisIs = m_chkID[1]->checkState() == Qt::Checked;
    c.AppendRepeater = m_chkID[2]->checkState() == Qt::Checked;
    c.AppendTransmitter = m_chkID[3]->checkState() == Qt::Checked;
    accept();
}
