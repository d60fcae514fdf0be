#include "platform/qt/QtDialogView.h"

#include "platform/qt/QtCurveGraph.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace {

QString FromText(const char* text)
{
    return QString::fromUtf8(text != nullptr ? text : "");
}

QString ObjectName(std::int32_t id)
{
    return QStringLiteral("id%1").arg(id);
}

// Asks the view to look again whenever the window may have been minimised,
// hidden, covered or shown: the dialog's own show, hide and state events and
// its native window's exposure. After the event: Qt updates some of the
// state the view reads only once it has been delivered.
class VisibilityWatch : public QObject {
public:
    VisibilityWatch(QtDialogView& view, QObject* parent)
        : QObject(parent)
        , m_view(view)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !m_windowWatched) {
            // The native window exists once the dialog is being shown.
            if (auto* dialog = qobject_cast<QWidget*>(watched);
                dialog != nullptr && dialog->windowHandle() != nullptr) {
                dialog->windowHandle()->installEventFilter(this);
                m_windowWatched = true;
            }
        }
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
        case QEvent::Expose:
            QTimer::singleShot(0, this, [this] { m_view.UpdateVisibility(); });
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QtDialogView& m_view;
    bool m_windowWatched = false;
};

} // namespace

QIcon ApplicationIcon()
{
    static const QIcon icon = [] {
        // The pictures live in this static library: make sure they are linked in.
        Q_INIT_RESOURCE(tavelin);
        QIcon made;
        made.addFile(QStringLiteral(":/tavelin/tavelin-32.png"), QSize(32, 32));
        made.addFile(QStringLiteral(":/tavelin/tavelin-64.png"), QSize(64, 64));
        made.addFile(QStringLiteral(":/tavelin/tavelin-256.png"), QSize(256, 256));
        return made;
    }();
    return icon;
}

// ---------------------------------------------------------------- TemplateDialog

TemplateDialog::TemplateDialog(QtDialogView& view, QWidget* parent)
    : QDialog(parent)
    , m_view(view)
{
}

void TemplateDialog::reject()
{
    // Escape: the dialog manager sends Cancel, whatever the Cancel button's state.
    m_view.DeliverDialogKey(WindowSession::DialogKey::Escape);
}

void TemplateDialog::accept()
{
    m_view.DeliverCommand(kIdOk);
}

void TemplateDialog::closeEvent(QCloseEvent* event)
{
    // The presenter decides; the window goes only through EndDialog.
    event->ignore();
    m_view.DeliverClose();
}

bool TemplateDialog::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // Reaches the dialog when no widget under the pointer had a tip of its own.
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = m_view.CellToolTipAt(help->pos());
        if (!tip.isEmpty()) {
            QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QDialog::event(event);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        m_view.ShowHelp();
        return;
    }
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) && !m_view.EndsOnDialogKeys()) {
        // What no control took (an open combo takes its own) ends nothing
        // here: no default button is pressed; the session drops Enter and
        // hands Escape on as Cancel, which only gives up what it waits for.
        event->accept();
        m_view.DeliverDialogKey(
            key == Qt::Key_Escape ? WindowSession::DialogKey::Escape : WindowSession::DialogKey::Enter);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TemplateDialog::contextMenuEvent(QContextMenuEvent* event)
{
    m_view.ShowSystemMenu(event->globalPos());
}

// ---------------------------------------------------------------- QtDialogView

QtDialogView::QtDialogView(const DialogTemplate& dialogTemplate, DialogPresenter& presenter, QtDialogView* parent)
    : m_template(dialogTemplate)
    , m_parent(parent)
    , m_session(presenter, *this, parent != nullptr ? &parent->m_session : nullptr)
{
}

void QtDialogView::FitWrappedText(QLabel& label) const
{
    // A help text whose lines wrap more often in this font than in the one the
    // template was drawn for may grow into the free space below it rather
    // than lose its last lines.
    if (!label.wordWrap() || m_canvas == nullptr) {
        return;
    }
    const int needed = label.heightForWidth(label.width());
    const int room = m_canvas->height() - label.y();
    if (needed > label.height()) {
        label.resize(label.width(), std::min(needed, room));
    }
}

void QtDialogView::AfterEvent()
{
    for (ReadoutPanel* panel : m_panels) {
        panel->Commit();
    }
}

const ReadoutPanel::Cell* QtDialogView::CellOf(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    return control != nullptr && control->IsCell() ? &PanelOf(*control).CellAt(control->cell) : nullptr;
}

QtDialogView::~QtDialogView()
{
    Finish();
    for (auto& [id, timer] : m_timers) {
        (void)id;
        delete timer;
    }
    m_timers.clear();
}

void QtDialogView::Build()
{
    if (m_built) {
        return;
    }
    m_built = true;
    QWidget* owner = m_parent != nullptr ? m_parent->Dialog() : nullptr;
    m_dialog = std::make_unique<TemplateDialog>(*this, owner);
    m_dialog->setObjectName(QStringLiteral("template%1").arg(m_template.id));
    m_dialog->setFont(DialogFont());
    m_units = DialogBaseUnits::FromFont(m_dialog->font());
    m_dialog->setWindowTitle(FromText(m_template.caption));
    // The controls lie on a canvas of the template's size. Where the screen
    // has less room, the dialog takes what there is and the canvas scrolls;
    // the dialog is never larger than its canvas.
    const QSize content(m_units.ToPixelsX(m_template.width), m_units.ToPixelsY(m_template.height));
    m_scroll = new QScrollArea(m_dialog.get());
    m_scroll->setObjectName(QStringLiteral("scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_canvas = new QWidget;
    m_canvas->setObjectName(QStringLiteral("canvas"));
    m_canvas->setFixedSize(content);
    m_scroll->setWidget(m_canvas);
    auto* layout = new QVBoxLayout(m_dialog.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    m_dialog->setMaximumSize(content);
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    QSize size = content;
    if (screen != nullptr) {
        // Room for the window's frame and title bar, which the area does not count.
        const QSize frame(8, 32);
        const QSize room = screen->availableGeometry().size() - frame;
        size = content.boundedTo(room.expandedTo(QSize(160, 120)));
    }
    m_dialog->resize(size);
    m_dialog->setSizeGripEnabled(size != content);

    const std::size_t count = m_template.controls.size();
    std::vector<char> live(count, 0);
    const int liveGroup = BuildLiveArea(live);

    std::vector<QWidget*> groups;
    for (std::size_t i = 0; i < count; ++i) {
        const ControlTemplate& control = m_template.controls[i];
        if (live[i] != 0 && liveGroup != Controls::kNoGroup) {
            ReadoutPanel& panel = *m_panels[static_cast<std::size_t>(liveGroup)];
            const int cell = panel.AddCell(control.id, control.kind, m_units.ToPixels(control.rect), control.text,
                (control.flags & FlagDisabled) == 0, (control.flags & FlagHidden) == 0, false, true);
            panel.SetToolTip(cell, FromText(control.toolTip));
            panel.SetCentreMark(cell, (control.flags & FlagCentreMark) != 0);
            m_controls.AddTemplateCell(control, liveGroup, cell);
            continue;
        }
        QWidget* widget = MakeWidget(control);
        if (widget == nullptr) {
            continue;
        }
        if (control.kind == ControlKind::GroupBox) {
            groups.push_back(widget);
        }
        if (control.id != kNoControlId) {
            widget->setObjectName(ObjectName(control.id));
            m_controls.AddTemplateControl(control, { widget, QString() });
        }
    }
    // Group boxes only frame what lies over them.
    for (QWidget* group : groups) {
        group->lower();
    }
    if (liveGroup != Controls::kNoGroup) {
        // No control lies over it: on top, Qt need not look for siblings
        // covering it on every frame.
        m_panels[static_cast<std::size_t>(liveGroup)]->raise();
    }
}

int QtDialogView::BuildLiveArea(std::vector<char>& live)
{
    // Progress bars stacked in a column change on every frame, and so do
    // the one-line texts right beside them: one widget draws them all, so
    // that a frame costs one repaint instead of one per control. Only where
    // no other control lies in their rectangle.
    const std::size_t count = m_template.controls.size();
    QRect area;
    int bars = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const ControlTemplate& control = m_template.controls[i];
        if (control.kind == ControlKind::ProgressBar && control.id != kNoControlId) {
            live[i] = 1;
            area |= m_units.ToPixels(control.rect);
            ++bars;
        }
    }
    for (std::size_t i = 0; bars >= 2 && i < count; ++i) {
        const ControlTemplate& control = m_template.controls[i];
        const QRect rect = m_units.ToPixels(control.rect);
        if (control.kind != ControlKind::Static || control.id == kNoControlId || (control.flags & FlagSunken) != 0
            || rect.height() >= m_units.cy * 2) {
            continue;
        }
        for (std::size_t j = 0; j < count; ++j) {
            const ControlTemplate& bar = m_template.controls[j];
            const QRect barRect = m_units.ToPixels(bar.rect);
            if (bar.kind == ControlKind::ProgressBar && live[j] != 0 && rect.top() <= barRect.bottom()
                && rect.bottom() >= barRect.top() && std::abs(rect.left() - barRect.right() - 1) <= 4) {
                live[i] = 1;
                area |= rect;
                break;
            }
        }
    }
    for (std::size_t i = 0; bars >= 2 && i < count; ++i) {
        const ControlTemplate& control = m_template.controls[i];
        if (live[i] == 0 && control.kind != ControlKind::GroupBox && m_units.ToPixels(control.rect).intersects(area)) {
            bars = 0;
        }
    }
    if (bars < 2) {
        return Controls::kNoGroup;
    }
    auto* panel = new ReadoutPanel(m_canvas);
    panel->setGeometry(area);
    m_panels.push_back(panel);
    return m_controls.AddGroup(kNoControlId);
}

QWidget* QtDialogView::MakeWidget(const ControlTemplate& control)
{
    QDialog* owner = m_dialog.get(); // the connections' context
    QWidget* dialog = m_canvas; // the controls' parent
    const QRect rect = m_units.ToPixels(control.rect);
    const std::int32_t id = control.id;
    const QString text = FromText(control.text);
    QWidget* widget = nullptr;

    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, dialog);
        button->setDefault((control.flags & FlagDefault) != 0);
        if (!EndsOnDialogKeys()) {
            // Enter on a focused button would press it: only Space and clicks do here.
            button->setDefault(false);
            button->setAutoDefault(false);
        }
        QObject::connect(button, &QPushButton::clicked, owner, [this, id] { DeliverCommand(id); });
        widget = button;
        break;
    }
    case ControlKind::GroupBox:
        widget = new TemplateGroupBox(text, dialog);
        break;
    case ControlKind::Static: {
        auto* label = new TextLabel(text, dialog);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Static texts wrap at word boundaries when they have room for more than one line.
        label->setWordWrap(rect.height() >= m_units.cy * 2);
        // Opaque: a changing value repaints itself only, not the window beneath.
        label->setAutoFillBackground(true);
        if ((control.flags & FlagSunken) != 0) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        widget = label;
        break;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(text, dialog);
        edit->setReadOnly((control.flags & FlagEditable) == 0);
        if ((control.flags & FlagEditable) != 0) {
            // Only the operator's typing: setText from the presenter is no edit.
            QObject::connect(edit, &QLineEdit::textEdited, owner, [this, id] { DeliverEditChange(id); });
        }
        widget = edit;
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = new WheelGuardedCombo(dialog);
        combo->setMaxVisibleItems(16);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
        // Only the operator's own choice is a selection change: programmatic
        // updates of the shown value must not reach the presenter.
        QObject::connect(combo, &QComboBox::activated, owner, [this, id](int index) { DeliverSelection(id, index); });
        widget = combo;
        break;
    }
    case ControlKind::ProgressBar: {
        widget = new ColourBar(dialog);
        break;
    }
    case ControlKind::Spin:
        widget = new SpinArrows(
            (control.flags & FlagHorizontalSpin) != 0, [this, id](int delta) { DeliverSpin(id, delta); }, dialog);
        break;
    case ControlKind::Lamp: {
        auto* lamp = new QLabel(dialog);
        lamp->setPixmap(LampPixmap(static_cast<LampPicture>(control.image)));
        widget = lamp;
        break;
    }
    case ControlKind::ListView: {
        auto* list = new QTreeWidget(dialog);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setColumnCount(0);
        list->header()->setStretchLastSection(false);
        list->header()->setMinimumSectionSize(1); // the "Item" column is 5 px wide
        list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        widget = list;
        break;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, dialog);
        QObject::connect(box, &QCheckBox::clicked, owner, [this, id] { DeliverCommand(id); });
        widget = box;
        break;
    }
    case ControlKind::CurveGraph:
        widget = new CurveGraphWidget(
            [this, id](int point, double x, double y) { DeliverCurvePointDrag(id, point, x, y); }, dialog);
        break;
    case ControlKind::Icon: {
        auto* icon = new QLabel(dialog);
        icon->setPixmap(ApplicationIcon().pixmap(32, 32));
        widget = icon;
        break;
    }
    }
    if (widget == nullptr) {
        return nullptr;
    }

    if (control.kind == ControlKind::Lamp) {
        // A picture control takes the size of its bitmap.
        widget->setGeometry(rect.x(), rect.y(), 11, 11);
    } else if (control.kind == ControlKind::Icon) {
        widget->setGeometry(rect.x(), rect.y(), 32, 32);
    } else {
        widget->setGeometry(rect);
    }
    if ((control.flags & FlagDisabled) != 0) {
        widget->setEnabled(false);
    }
    if ((control.flags & FlagHidden) != 0) {
        widget->hide();
    }
    if (control.toolTip != nullptr && control.toolTip[0] != '\0') {
        widget->setToolTip(FromText(control.toolTip));
    }
    if (control.kind == ControlKind::ProgressBar && (control.flags & FlagCentreMark) != 0) {
        static_cast<ColourBar*>(widget)->SetCentreMark(true);
    }
    return widget;
}

void QtDialogView::WatchVisibility()
{
    if (m_visibilityWatch != nullptr || m_dialog == nullptr) {
        return;
    }
    m_visibilityWatch = new VisibilityWatch(*this, m_dialog.get());
    m_dialog->installEventFilter(m_visibilityWatch);
}

QWidget* QtDialogView::Widget(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    return control != nullptr ? control->native.widget : nullptr;
}

// ---------------------------------------------------------------- the modal run

bool QtDialogView::Open()
{
    Build();
    m_session.Open(*this);
    WatchVisibility();
    return !m_session.Ended();
}

int QtDialogView::Exec()
{
    if (m_session.Live()) {
        m_dialog->exec();
    }
    Finish();
    return m_session.Result();
}

int QtDialogView::RunModal()
{
    Open();
    return Exec();
}

void QtDialogView::Finish()
{
    m_session.Finish();
    for (auto& [id, timer] : m_timers) {
        (void)id;
        timer->stop();
    }
    if (m_dialog != nullptr) {
        m_dialog->hide();
    }
}

void QtDialogView::EndDialog(int result)
{
    m_session.End(result);
}

void QtDialogView::LeaveModalLoop(int result)
{
    // Leaves the modal loop once the running handler has returned to it.
    if (m_dialog != nullptr) {
        m_dialog->done(result);
    }
}

void QtDialogView::PostPendingClose()
{
    QTimer::singleShot(0, m_dialog.get(), [this] { m_session.DeliverPendingClose(); });
}

void QtDialogView::AnswerOpenBoxes()
{
    for (QWidget* box : m_openBoxes) {
        if (auto* messageBox = qobject_cast<QMessageBox*>(box)) {
            messageBox->done(
                messageBox->button(QMessageBox::Cancel) != nullptr ? QMessageBox::Cancel : QMessageBox::Ok);
        }
    }
    if (m_openMenu != nullptr) {
        // Nobody is left to choose from it.
        m_openMenu->close();
    }
}

// ---------------------------------------------------------------- events

void QtDialogView::UpdateVisibility()
{
    if (m_dialog == nullptr) {
        return;
    }
    const QWindow* window = m_dialog->windowHandle();
    m_session.DeliverVisibility(
        m_dialog->isVisible() && !m_dialog->isMinimized() && window != nullptr && window->isExposed());
}

void QtDialogView::ShowHelp()
{
    for (const MenuItem& item : m_menu) {
        if ((item.command & 0xFFF0u) == kAboutCommand) {
            DeliverSystemCommand(item.command);
            return;
        }
    }
}

void QtDialogView::ShowSystemMenu(const QPoint& globalPosition)
{
    if (!m_session.Live() || m_menu.empty()) {
        return;
    }
    QMenu menu(m_dialog.get());
    menu.setObjectName(QStringLiteral("systemMenu"));
    for (const MenuItem& item : m_menu) {
        const unsigned command = item.command;
        menu.addAction(item.text, m_dialog.get(), [this, command] {
            // After the menu's own loop has ended, like a system command.
            QTimer::singleShot(0, m_dialog.get(), [this, command] { DeliverSystemCommand(command); });
        });
    }
    const WindowSession::NestedLoop nested(m_session);
    m_openMenu = &menu;
    menu.exec(globalPosition);
    m_openMenu = nullptr;
}

// ---------------------------------------------------------------- DialogView

void QtDialogView::SetTitle(const char* title)
{
    if (m_dialog != nullptr) {
        m_dialog->setWindowTitle(FromText(title));
    }
}

void QtDialogView::SetIcon(std::int32_t iconResource)
{
    if (m_dialog != nullptr && iconResource == kApplicationIcon) {
        m_dialog->setWindowIcon(ApplicationIcon());
    }
}

bool QtDialogView::AppendSystemMenuItem(unsigned command, const char* text)
{
    // No system menu in Qt: the window's context menu (and F1 for About) stands in.
    m_menu.push_back({ command, FromText(text) });
    return true;
}

void QtDialogView::SetControlText(std::int32_t id, const char* text)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (text == nullptr) {
        text = "";
    }
    if (control->IsCell()) {
        PanelOf(*control).SetText(control->cell, text);
        return;
    }
    switch (control->kind) {
    case ControlKind::Static: {
        // A number changing on every refresh makes no QString and no new layout.
        auto* label = static_cast<TextLabel*>(control->native.widget);
        label->SetShownText(text);
        FitWrappedText(*label);
        break;
    }
    case ControlKind::PushButton:
        static_cast<QPushButton*>(control->native.widget)->setText(FromText(text));
        break;
    case ControlKind::GroupBox:
        static_cast<QGroupBox*>(control->native.widget)->setTitle(FromText(text));
        break;
    case ControlKind::Edit: {
        auto* edit = static_cast<QLineEdit*>(control->native.widget);
        const QString value = FromText(text);
        if (edit->text() != value) {
            edit->setText(value);
        }
        break;
    }
    case ControlKind::ComboBox:
        ComboSetEditText(id, text);
        break;
    default:
        break;
    }
}

int QtDialogView::GetControlText(std::int32_t id, char* buffer, int size) const
{
    QString value;
    if (const Control* control = m_controls.Find(id)) {
        if (control->IsCell()) {
            value = QString::fromUtf8(PanelOf(*control).CellAt(control->cell).text.c_str());
        } else if (control->kind == ControlKind::Static) {
            value = static_cast<const TextLabel*>(control->native.widget)->ShownText();
        } else if (auto* label = qobject_cast<QLabel*>(control->native.widget)) {
            value = label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(control->native.widget)) {
            value = button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(control->native.widget)) {
            value = group->title();
        } else if (auto* edit = qobject_cast<QLineEdit*>(control->native.widget)) {
            value = edit->text();
        } else if (control->kind == ControlKind::ComboBox) {
            auto* combo = static_cast<QComboBox*>(control->native.widget);
            value = combo->currentIndex() >= 0 ? combo->currentText() : control->native.editText;
        }
    }
    const QByteArray bytes = value.toUtf8();
    return CopyControlText({ bytes.constData(), static_cast<std::size_t>(bytes.size()) }, buffer, size);
}

void QtDialogView::EnableControl(std::int32_t id, bool enable)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetEnabled(control->cell, enable);
    } else if (control->native.widget->isEnabled() != enable) {
        control->native.widget->setEnabled(enable);
    }
}

void QtDialogView::ShowControl(std::int32_t id, bool show)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetVisible(control->cell, show);
    } else {
        control->native.widget->setVisible(show);
    }
}

void QtDialogView::ComboInsertString(std::int32_t id, int position, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    auto* combo = static_cast<QComboBox*>(control->native.widget);
    const int before = combo->currentIndex();
    combo->insertItem(std::clamp(position, 0, combo->count()), FromText(text));
    if (before < 0 && combo->currentIndex() >= 0) {
        // Filling the list does not choose an entry; the edit text stays.
        combo->setCurrentIndex(-1);
    }
}

void QtDialogView::ComboSetEditText(std::int32_t id, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    auto* combo = static_cast<QComboBox*>(control->native.widget);
    const QString value = FromText(text);
    const int entry = combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0) {
        if (combo->currentIndex() != entry) {
            combo->setCurrentIndex(entry);
        }
    } else {
        // A text that is no entry ("?"): shown in place of a selection.
        if (combo->placeholderText() != value) {
            combo->setPlaceholderText(value);
        }
        if (combo->currentIndex() != -1) {
            combo->setCurrentIndex(-1);
        }
    }
    control->native.editText = value;
}

void QtDialogView::ComboSetSelection(std::int32_t id, int position)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    auto* combo = static_cast<QComboBox*>(control->native.widget);
    if (position >= 0 && position < combo->count()) {
        combo->setCurrentIndex(position);
        control->native.editText = combo->itemText(position);
    } else {
        combo->setPlaceholderText(QString());
        combo->setCurrentIndex(-1);
        control->native.editText.clear();
    }
}

void QtDialogView::SetProgressPosition(std::int32_t id, int position)
{
    Control* control = m_controls.Find(id, ControlKind::ProgressBar);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetValue(control->cell, position);
        return;
    }
    static_cast<ColourBar*>(control->native.widget)->SetValue(position);
}

void QtDialogView::SetProgressBarColour(std::int32_t id, BarColour colour)
{
    Control* control = m_controls.Find(id, ControlKind::ProgressBar);
    if (control == nullptr) {
        return;
    }
    const QColor value(colour.red, colour.green, colour.blue);
    if (control->IsCell()) {
        PanelOf(*control).SetColour(control->cell, value);
        return;
    }
    static_cast<ColourBar*>(control->native.widget)->SetColour(value);
}

void QtDialogView::SetCheck(std::int32_t id, bool checked)
{
    if (Control* control = m_controls.Find(id, ControlKind::CheckBox)) {
        static_cast<QCheckBox*>(control->native.widget)->setChecked(checked);
    }
}

bool QtDialogView::IsChecked(std::int32_t id) const
{
    const Control* control = m_controls.Find(id, ControlKind::CheckBox);
    return control != nullptr && static_cast<const QCheckBox*>(control->native.widget)->isChecked();
}

void QtDialogView::SetCurveGraph(std::int32_t id, const CurveGraphData& graph)
{
    if (Control* control = m_controls.Find(id, ControlKind::CurveGraph)) {
        static_cast<CurveGraphWidget*>(control->native.widget)->SetGraph(graph);
    }
}

void QtDialogView::SetCurveMarker(std::int32_t id, const CurveMarker& marker)
{
    if (Control* control = m_controls.Find(id, ControlKind::CurveGraph)) {
        static_cast<CurveGraphWidget*>(control->native.widget)->SetMarker(marker);
    }
}

void QtDialogView::SetControlHighlight(std::int32_t id, bool highlighted)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetHighlighted(control->cell, highlighted);
    } else if (control->kind == ControlKind::GroupBox) {
        static_cast<TemplateGroupBox*>(control->native.widget)->SetHighlighted(highlighted);
    } else if (control->native.widget != nullptr) {
        control->native.widget->setProperty("highlighted", highlighted);
        QPalette palette = control->native.widget->palette();
        palette.setColor(QPalette::Base, highlighted ? HighlightColour() : m_dialog->palette().color(QPalette::Base));
        control->native.widget->setPalette(palette);
    }
}

void QtDialogView::ComboSetItemToolTip(std::int32_t id, int position, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    auto* combo = static_cast<QComboBox*>(control->native.widget);
    if (position >= 0 && position < combo->count()) {
        combo->setItemData(position, FromText(text), Qt::ToolTipRole);
    }
}

QString QtDialogView::CellToolTipAt(const QPoint& point) const
{
    for (ReadoutPanel* panel : m_panels) {
        const QPoint inPanel = panel->mapFrom(m_dialog.get(), point);
        if (panel->isVisible() && panel->rect().contains(inPanel)) {
            const QString tip = panel->ToolTipAt(inPanel);
            if (!tip.isEmpty()) {
                return tip;
            }
        }
    }
    return QString();
}

bool QtDialogView::Highlighted(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return false;
    }
    if (control->IsCell()) {
        return PanelOf(*control).CellAt(control->cell).highlighted;
    }
    if (control->kind == ControlKind::GroupBox) {
        return static_cast<const TemplateGroupBox*>(control->native.widget)->Highlighted();
    }
    return control->native.widget != nullptr && control->native.widget->property("highlighted").toBool();
}

QString QtDialogView::ToolTip(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return QString();
    }
    if (control->IsCell()) {
        return PanelOf(*control).CellAt(control->cell).toolTip;
    }
    return control->native.widget != nullptr ? control->native.widget->toolTip() : QString();
}

void QtDialogView::SetLampPicture(std::int32_t id, LampPicture picture)
{
    Control* control = m_controls.Find(id, ControlKind::Lamp);
    if (control == nullptr) {
        return;
    }
    auto* lamp = static_cast<QLabel*>(control->native.widget);
    const QPixmap& pixmap = LampPixmap(picture);
    if (lamp->pixmap().cacheKey() != pixmap.cacheKey()) {
        lamp->setPixmap(pixmap);
    }
    lamp->setProperty("lamp", static_cast<int>(picture));
}

void QtDialogView::ListInsertColumn(std::int32_t id, int column, const char* heading, int widthPixels)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return;
    }
    auto* list = static_cast<QTreeWidget*>(control->native.widget);
    QStringList headings;
    std::vector<int> widths;
    for (int i = 0; i < list->columnCount(); ++i) {
        headings << list->headerItem()->text(i);
        widths.push_back(list->columnWidth(i));
    }
    const int at = std::clamp(column, 0, static_cast<int>(headings.size()));
    headings.insert(at, FromText(heading));
    widths.insert(widths.begin() + at, widthPixels);
    list->setColumnCount(static_cast<int>(headings.size()));
    list->setHeaderLabels(headings);
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
        list->setColumnWidth(i, widths[static_cast<std::size_t>(i)]);
    }
}

int QtDialogView::ListInsertItem(std::int32_t id, int position, const char* text, bool selected)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return -1;
    }
    auto* list = static_cast<QTreeWidget*>(control->native.widget);
    const int at = std::clamp(position, 0, list->topLevelItemCount());
    auto* item = new QTreeWidgetItem();
    item->setText(0, FromText(text));
    list->insertTopLevelItem(at, item);
    item->setSelected(selected);
    return at;
}

void QtDialogView::ListSetItemText(std::int32_t id, int item, int column, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return;
    }
    auto* list = static_cast<QTreeWidget*>(control->native.widget);
    if (item < 0 || item >= list->topLevelItemCount() || column < 0) {
        return;
    }
    list->topLevelItem(item)->setText(column, FromText(text));
}

void QtDialogView::ListDeleteAllItems(std::int32_t id)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return;
    }
    static_cast<QTreeWidget*>(control->native.widget)->clear();
}

void QtDialogView::ListEnsureVisible(std::int32_t id, int item)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return;
    }
    auto* list = static_cast<QTreeWidget*>(control->native.widget);
    if (item >= 0 && item < list->topLevelItemCount()) {
        list->scrollToItem(list->topLevelItem(item));
    }
}

bool QtDialogView::MakePanel(const Control& groupBox)
{
    QWidget* box = groupBox.native.widget;
    if (box == nullptr) {
        return false;
    }
    auto* panel = new ReadoutPanel(box);
    // Inside the frame and below the caption, so that it never paints over them.
    const int caption = QFontMetrics(box->font()).height();
    panel->setGeometry(box->rect().adjusted(2, caption, -2, -2));
    panel->show();
    m_panels.push_back(panel);
    return true;
}

bool QtDialogView::CreateControl(const RuntimeControl& control)
{
    if (m_dialog == nullptr || m_controls.Has(control.id)) {
        return false;
    }
    // Pixel sizes drawn for the usual dialog font, scaled with the real one.
    const int left = m_units.ScaleDesignX(control.rect.x);
    const int top = m_units.ScaleDesignY(control.rect.y);
    QRect rect(left, top, m_units.ScaleDesignX(control.rect.x + control.rect.width) - left,
        m_units.ScaleDesignY(control.rect.y + control.rect.height) - top);
    const int group = m_controls.CellGroupFor(control, [this](const Control& box) { return MakePanel(box); });
    if (group != Controls::kNoGroup) {
        ReadoutPanel& panel = *m_panels[static_cast<std::size_t>(group)];
        // Below the group box's caption, which the lines would otherwise cover.
        rect.translate(0, QFontMetrics(panel.font()).height() - 2);
        const int cell = panel.AddCell(control.id, control.kind, rect, control.text,
            (control.flags & FlagDisabled) == 0, (control.flags & FlagHidden) == 0, (control.flags & FlagSunken) != 0);
        panel.SetToolTip(cell, FromText(control.toolTip));
        m_controls.AddRuntimeCell(control, group, cell);
        return true;
    }
    // Anything else: a real widget, placed relative to its group box.
    if (const Control* box = m_controls.Find(control.parentGroupId); box != nullptr && box->native.widget != nullptr) {
        rect.translate(box->native.widget->pos());
    }
    ControlTemplate asTemplate { control.id, control.kind, control.text, { 0, 0, 0, 0 }, control.flags, 0,
        control.toolTip };
    QWidget* widget = MakeWidget(asTemplate);
    if (widget == nullptr) {
        return false;
    }
    widget->setGeometry(rect);
    widget->setObjectName(ObjectName(control.id));
    widget->setVisible((control.flags & FlagHidden) == 0);
    m_controls.AddRuntimeControl(control, { widget, QString() });
    return true;
}

bool QtDialogView::StartTimer(std::int32_t id, int periodMs)
{
    if (m_dialog == nullptr || periodMs <= 0) {
        return false;
    }
    QTimer*& timer = m_timers[id];
    if (timer == nullptr) {
        timer = new QTimer();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [this, id] { DeliverTimer(id); });
    }
    // Starting a running timer again restarts it with the new period.
    timer->start(periodMs);
    if (timer->isActive()) {
        m_session.TimerStarted(id, periodMs);
    }
    return timer->isActive();
}

void QtDialogView::StopTimer(std::int32_t id)
{
    const auto found = m_timers.find(id);
    if (found != m_timers.end()) {
        found->second->stop();
        m_session.TimerStopped(id);
    }
}

void QtDialogView::RequestFullFrame()
{
    m_session.RequestFullFrame();
}

namespace {
bool g_answerBoxesAtOnce = false;
}

void QtDialogView::SetAnswerBoxesAtOnce(bool atOnce)
{
    g_answerBoxesAtOnce = atOnce;
}

bool QtDialogView::AnswersBoxesAtOnce()
{
    return g_answerBoxesAtOnce;
}

SaveChoice QtDialogView::AskSaveDiscardCancel(const char* text, const char* caption)
{
    if (ClosePending()) {
        return SaveChoice::Cancel; // on the way out already: the close asks nothing
    }
    if (g_answerBoxesAtOnce) {
        return SaveChoice::Save;
    }
    QMessageBox box(QMessageBox::Question, FromText(caption), FromText(text),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_dialog.get());
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("saveQuestion"));
    box.setWindowIcon(ApplicationIcon());
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = ExecBox(box);
    if (answer == QMessageBox::Save) {
        return SaveChoice::Save;
    }
    return answer == QMessageBox::Discard ? SaveChoice::Discard : SaveChoice::Cancel;
}

void QtDialogView::ShowMessageBox(const char* text, const char* caption)
{
    if (ClosePending() || g_answerBoxesAtOnce) {
        // The program is on its way out: nobody is left to answer, so the box is answered now.
        // Offscreen nobody sees it either; the presenter has written it to standard error.
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, FromText(caption), FromText(text), QMessageBox::Ok, m_dialog.get());
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowIcon(ApplicationIcon());
    ExecBox(box);
}

int QtDialogView::ExecBox(QMessageBox& box)
{
    m_openBoxes.push_back(&box);
    int answer = 0;
    {
        const WindowSession::NestedLoop nested(m_session);
        answer = box.exec();
    }
    m_openBoxes.erase(std::remove(m_openBoxes.begin(), m_openBoxes.end(), &box), m_openBoxes.end());
    return answer;
}

int QtDialogView::RunModalChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    QtDialogView child(dialogTemplate, presenter, this);
    return m_session.RunChild(child.m_session, [&child] { return child.RunModal(); });
}

// ---------------------------------------------------------------- QtDialogRunner

void QtDialogRunner::ShowMessageBox(const char* text, const char* caption)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal")) {
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, FromText(caption), FromText(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowIcon(ApplicationIcon());
    m_openBox = &box;
    box.exec();
    m_openBox = nullptr;
}

void QtDialogRunner::RequestClose()
{
    if (m_current != nullptr) {
        m_current->RequestClose();
    } else if (auto* box = qobject_cast<QMessageBox*>(m_openBox)) {
        box->done(QMessageBox::Ok);
    }
}

int QtDialogRunner::RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    QtDialogView view(dialogTemplate, presenter);
    QtDialogView* outer = m_current;
    m_current = &view;
    const int result = view.RunModal();
    m_current = outer;
    return result;
}
