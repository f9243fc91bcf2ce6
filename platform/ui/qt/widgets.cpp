// Widgets for the system classes. Each shows its window's state as the core holds it and turns
// what a person does into the core's user actions; after each action the widget is set back
// to the core's state, so a refused change (a plain check box, a full edit) does not stick.
#include "qt_driver.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace host::ui::qt {
namespace {

const char* const kHwndProperty = "yraHwnd";

void Resync(HWND hwnd, unsigned changes) {
    WindowInfo info;
    QWidget* widget = WidgetOf(hwnd);
    if (widget && GetWindowInfo(hwnd, &info)) SyncWidget(widget, info, changes);
}

class DialogWidget final : public QWidget {
public:
    DialogWidget(HWND hwnd, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), m_hwnd(hwnd) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        // The dialog procedure decides; the window goes when the core destroys it.
        event->ignore();
        UserClose(m_hwnd);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (isWindow() && event->key() == Qt::Key_Escape) {
            UserPressEscape(m_hwnd);
        } else if (isWindow() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            UserPressEnter(m_hwnd);
        } else {
            QWidget::keyPressEvent(event);
        }
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QtDriver::Instance()->SetPainting(m_hwnd, &painter);
        SendMessageW(m_hwnd, WM_PAINT, 0, 0);
        QtDriver::Instance()->SetPainting(nullptr, nullptr);
    }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange && isWindow()) UserSetMinimized(m_hwnd, isMinimized());
        QWidget::changeEvent(event);
    }

private:
    HWND m_hwnd;
};

QWidget* MakeDialog(const WindowInfo& info, QWidget* parent) {
    if (info.child() && parent) return new DialogWidget(info.hwnd, parent, {});
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((info.style & WS_CAPTION) == WS_CAPTION) flags |= Qt::WindowTitleHint;
    if (info.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (info.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    if (info.style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
    if ((info.style & WS_CAPTION) != WS_CAPTION) flags |= Qt::FramelessWindowHint;
    auto* dialog = new DialogWidget(info.hwnd, nullptr, flags);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    return dialog;
}

QWidget* MakeButton(const WindowInfo& info, QWidget* parent) {
    HWND hwnd = info.hwnd;
    QAbstractButton* button = nullptr;
    switch (info.style & BS_TYPEMASK) {
    case BS_GROUPBOX:
        return new QGroupBox(parent);
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE: {
        auto* box = new QCheckBox(parent);
        DWORD type = info.style & BS_TYPEMASK;
        box->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
        button = box;
        break;
    }
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
        if (info.style & BS_PUSHLIKE) {
            // A tab of a strip: a push button that stays down while it is the checked one.
            auto* push = new QPushButton(parent);
            push->setAutoDefault(false);
            push->setCheckable(true);
            button = push;
            break;
        }
        auto* radio = new QRadioButton(parent);
        radio->setAutoExclusive(false); // the core keeps the group
        button = radio;
        break;
    }
    default: {
        auto* push = new QPushButton(parent);
        push->setAutoDefault(false);
        button = push;
        break;
    }
    }
    QObject::connect(button, &QAbstractButton::clicked, button, [hwnd] {
        UserClick(hwnd);
        Resync(hwnd, kChangeCheck);
    });
    return button;
}

QWidget* MakeEdit(const WindowInfo& info, QWidget* parent) {
    HWND hwnd = info.hwnd;
    auto* edit = new QLineEdit(parent);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [hwnd](const QString& text) {
        UserSetEditText(hwnd, FromQString(text));
        Resync(hwnd, kChangeText);
    });
    return edit;
}

QWidget* MakeCombo(const WindowInfo& info, QWidget* parent) {
    HWND hwnd = info.hwnd;
    auto* combo = new QComboBox(parent);
    combo->setMaxVisibleItems(30);
    QObject::connect(combo, &QComboBox::activated, combo, [hwnd](int index) {
        UserSelect(hwnd, index);
        Resync(hwnd, kChangeSelection);
    });
    return combo;
}

QWidget* MakeStatic(const WindowInfo&, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void SyncText(QWidget* widget, const WindowInfo& info) {
    if (info.kind == Kind::Dialog) {
        widget->setWindowTitle(ToQString(info.text));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(ToQString(info.text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQString(info.text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if ((info.style & SS_TYPEMASK) != SS_ICON)
            label->setText((info.style & SS_NOPREFIX) ? ToQString(info.text) : PlainText(info.text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QString text = ToQString(info.text);
        if (edit->text() != text) edit->setText(text);
    }
}

void SyncStyle(QWidget* widget, const WindowInfo& info) {
    widget->setEnabled(info.enabled());
    if (info.child()) widget->setVisible(info.visible());
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        DWORD type = info.style & SS_TYPEMASK;
        Qt::Alignment h = type == SS_CENTER  ? Qt::AlignHCenter
                          : type == SS_RIGHT ? Qt::AlignRight
                                             : Qt::AlignLeft;
        Qt::Alignment v = (info.style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
        label->setAlignment(type == SS_ICON ? Qt::AlignCenter : h | v);
        label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
        label->setFrameStyle((info.style & SS_SUNKEN) ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setReadOnly(info.style & ES_READONLY);
        edit->setFrame((info.style & WS_BORDER) || (info.exStyle & WS_EX_CLIENTEDGE));
        edit->setEchoMode((info.style & ES_PASSWORD) ? QLineEdit::Password : QLineEdit::Normal);
        DWORD align = info.style & 0x3;
        edit->setAlignment(align == ES_CENTER  ? Qt::AlignHCenter
                           : align == ES_RIGHT ? Qt::AlignRight
                                               : Qt::AlignLeft);
    } else if (auto* push = qobject_cast<QPushButton*>(widget)) {
        push->setDefault((info.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    }
}

void SyncGeometry(QWidget* widget, const WindowInfo& info) {
    RECT client = info.client();
    if (!widget->isWindow()) {
        widget->setGeometry(info.window.left, info.window.top, info.width(), info.height());
        return;
    }
    widget->move(info.window.left + info.insets.left, info.window.top + info.insets.top);
    if (info.kind == Kind::Dialog && !(info.style & WS_THICKFRAME)) {
        widget->setFixedSize(client.right, client.bottom);
    } else {
        widget->setMinimumSize(0, 0);
        widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        widget->resize(client.right, client.bottom);
    }
}

void SyncCheck(QWidget* widget, const WindowInfo& info) {
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setCheckState(info.check == BST_CHECKED         ? Qt::Checked
                           : info.check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                             : Qt::Unchecked);
    } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
        radio->setChecked(info.check == BST_CHECKED);
    } else if (auto* push = qobject_cast<QPushButton*>(widget); push && push->isCheckable()) {
        push->setChecked(info.check == BST_CHECKED);
    }
}

} // namespace

QWidget* CreateWidget(const WindowInfo& info, QWidget* parent) {
    QWidget* widget = nullptr;
    switch (info.kind) {
    case Kind::Dialog:
        widget = MakeDialog(info, parent);
        break;
    case Kind::Button:
        widget = MakeButton(info, parent);
        break;
    case Kind::Edit:
        widget = MakeEdit(info, parent);
        break;
    case Kind::ComboBox:
        widget = MakeCombo(info, parent);
        break;
    case Kind::Static:
        widget = MakeStatic(info, parent);
        break;
    case Kind::Desktop:
        return nullptr;
    }
    widget->setProperty(kHwndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(info.hwnd)));
    if (info.kind != Kind::Dialog && info.kind != Kind::Static && !(info.style & WS_TABSTOP) &&
        info.kind != Kind::Edit && info.kind != Kind::ComboBox)
        widget->setFocusPolicy(Qt::ClickFocus);
    return widget;
}

HWND WindowOf(const QWidget* widget) {
    if (!widget) return nullptr;
    QVariant v = widget->property(kHwndProperty);
    return v.isValid() ? reinterpret_cast<HWND>(v.value<quintptr>()) : nullptr;
}

void SyncWidget(QWidget* widget, const WindowInfo& info, unsigned changes) {
    const QSignalBlocker blocker(widget);
    if (changes & kChangeFont) widget->setFont(FontFor(info.font));
    if (changes & kChangeText) SyncText(widget, info);
    if (changes & kChangeStyle) SyncStyle(widget, info);
    if (changes & kChangeGeometry) SyncGeometry(widget, info);
    if (changes & kChangeCheck) SyncCheck(widget, info);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (changes & kChangeItems) {
            combo->clear();
            for (const ComboItem& item : info.items)
                combo->addItem(ToQString(item.text));
        }
        if (changes & (kChangeItems | kChangeSelection)) combo->setCurrentIndex(info.curSel);
    }
    if (changes & kChangeIcon) {
        if (info.kind == Kind::Dialog && widget->isWindow() && info.icon)
            widget->setWindowIcon(PixmapFor(info.icon));
        if (auto* label = qobject_cast<QLabel*>(widget); label && (info.style & SS_TYPEMASK) == SS_ICON)
            label->setPixmap(info.icon ? PixmapFor(info.icon) : QPixmap());
    }
}

QString ToQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

QString PlainText(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') out += u'&', ++i;
            continue;
        }
        out += text[i];
    }
    return ToQString(out);
}

} // namespace host::ui::qt
